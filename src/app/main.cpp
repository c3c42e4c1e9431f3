#include "app/run.h"
#include "app/run_outcome.h"
#include "codepage/code_page.h"
#include "files/line_file.h"
#include "platform/platform.h"
#include "process/failure.h"

int main(int argc, char** argv) {
    SysStartProcess(argc, argv);
    InitLeadBytes();
    StartFailureFacility();
    const SysUserConventions& ways = SysConventions();
    RunReport report;
    CaughtFailure failure;
    bool ended = TopLevelGuard([&] { RunSequence(report, ways); }, failure);
    uint32_t status = FinishRun(report, ended ? nullptr : &failure, ways);
    EndRun(status, ShutDownConsole());
}
