#include "app/run.h"
#include "files/file_system.h"
#include "platform/platform.h"
#include "process/failure.h"

int main() {
    SysStartProcess();
    InitLeadBytes();
    StartFailureFacility();
    TopLevelGuard(RunSequence);
}
