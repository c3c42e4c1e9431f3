#include "app/run.h"
#include "codepage/code_page.h"
#include "files/line_file.h"
#include "platform/platform.h"
#include "process/failure.h"

int main(int argc, char** argv) {
    SysStartProcess(argc, argv);
    InitLeadBytes();
    StartFailureFacility();
    uint32_t status = 0;
    if (!TopLevelGuard(RunSequence, &status)) {
        // The report follows every line the console still holds.
        FlushConsoleText();
        ReportFailure();
    }
    EndRun(status, ShutDownConsole());
}
