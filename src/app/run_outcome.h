#pragma once
// The one place that decides what a run's outcome means: done, a user
// error, a failure, or an interruption, mapped to the exit status (a user
// error: 2 where the program's users expect it, Linux; 0 on Windows, where
// the run reached its end), to the failure report on standard output, and to
// the English line on standard error (Linux; the Windows program writes
// nothing there) for every user error, loss and failure:
//   rowdispatch: cannot open destination /data/out/tokyo.csv for appending:
//   Permission denied (line 37121 of the input; 37120 lines routed)
// that is what was being done, the file as the system spells it, the
// system's reason (or the program's own words where it refused by itself),
// and how far the run got.
//
// With --summary=json standard output carries exactly one JSON object, in
// UTF-8, whatever the outcome: the summary of a pass; or
//   {"outcome":"skipped","column":0}                      ColumnNo=0
//   {"outcome":"user error","errors":[{"error":E,"file":F},...]}
//   {"outcome":"failure"|"interrupted","kind":K,"code":C,"place":P,"file":F,
//    "message":M,"error":E,"reason":R,"input":I,"lines":N,"routed":N}
// E is the line on standard error without "rowdispatch: " and how far the
// run got, M the report's message, R the system's words (or ours). A
// failure's report itself (Shift-JIS, or the data's code page) goes to
// standard error instead of standard output.

#include <cstdint>

#include "platform/platform.h"
#include "process/failure.h"
#include "session/run_report.h"

enum class RunEnd { Done, UserError, Failure, Interrupted };

RunEnd OutcomeOf(const RunReport& report, const CaughtFailure* failure);
uint32_t ExitStatusOf(RunEnd end, const SysUserConventions& ways);

// With --summary=json, at the end of a run that printed no summary: the
// object of a user error, or of a pass skipped (ColumnNo of 0).
void PrintOutcomeJson(const RunReport& report, int32_t columnNo);

// After the run sequence (the guard removed): writes out the console, then
// the failure report if one was caught, the lines on standard error and,
// with --summary=json, the failure's object; gives the exit status. Builds
// nothing on the heap for exhausted memory.
uint32_t FinishRun(RunReport& report, const CaughtFailure* failure, const SysUserConventions& ways);
