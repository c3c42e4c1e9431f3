#include "app/run.h"
#include "codepage/lead_bytes.h"
#include "files/line_file.h"
#include "platform/platform.h"
#include "process/failure.h"

int main(int argc, char** argv) {
    SysStartProcess(argc, argv);
    InitLeadBytes();
    StartFailureFacility();
    InstallConsoleHooks(FlushConsoleText, ShutDownConsole);
    TopLevelGuard(RunSequence);
}
