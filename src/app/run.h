#pragma once
// The run sequence: from the option scan to the end banner (or the usage or
// the version text). What went wrong on the way is in the run's report (user
// errors, how far the pass got) or travels out as a failure; main hands
// both to the outcome (run_outcome.h), which ends the process.

#include "platform/platform.h"
#include "session/run_report.h"

void RunSequence(RunReport& report, const SysUserConventions& ways);
