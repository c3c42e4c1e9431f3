#pragma once
// What a run tells beside its output, kept in one record that main owns and
// hands down: how far the run got (the assort pass keeps the counts), the
// user errors met, and the lines lost while a failure ended the run. Nothing
// here writes what went wrong; app/ reads the record at the end of the run
// and maps it to the exit status, the line on standard error and the JSON
// object. The progress line alone is written while the pass runs (on a
// terminal, on Linux), and erased before anything else is.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

// How far the run got, and the progress line that shows it.
struct RunProgress {
    std::string inputName;  // as the system spells it; empty before the pass
    SysHandle input = kInvalidHandle;
    uint64_t inputSize = 0;  // 0: unknown (a pipe)
    int64_t linesRead = 0;
    int64_t linesRouted = 0;  // routed and counted (with /o: counted)
    bool inPass = false;
    bool inputEnded = false;    // every line read
    bool everyPutBack = false;  // a failed run left every destination as it was
    // The progress line: ticking, on the terminal now, started when.
    bool showing = false;
    bool shown = false;
    uint64_t started = 0;
};

// A user error: what the program could not do (a pattern with "%s" for the
// file and "%v" for the value), the file as the system spells it, the value
// read, the reason in the system's words or ours.
struct UserError {
    std::string_view what;
    std::string file;
    std::string value;
    std::string_view reason;
};

// A destination that lost lines while the run was ending.
struct LostLines {
    std::string file;  // as the system spells it
    int64_t firstMissing = 0;
    std::string_view reason;
};

struct RunReport {
    RunProgress progress;
    std::vector<UserError> userErrors;
    std::vector<LostLines> losses;
};

// Notes a user error; the name is as the program spells it.
void NoteUserError(RunReport& report, std::string_view what, std::string_view name = {}, std::string_view value = {},
                   std::string_view reason = {});
// Notes a loss on the way out of a failure; never throws.
void NoteLoss(RunReport* report, std::string_view name, int64_t firstMissing, std::string_view reason) noexcept;

// The pass starts on the input (its handle open, its name as typed): the
// counters start, and the progress line may be shown (showProgress: not
// silenced by /s).
void StartRunProgress(RunProgress& run, std::string_view inputName, SysHandle input, bool showProgress);
// A line read, and a line routed: the counters for the diagnostic line.
inline void CountLineRead(RunProgress& run) { ++run.linesRead; }
inline void CountLineRouted(RunProgress& run) { run.linesRouted = run.linesRead; }
// Once a line: shows the progress line when a tick is due.
void ShowProgressNow(RunProgress& run);
inline void TickProgress(RunProgress& run) {
    if (SysTickDue()) [[unlikely]]
        ShowProgressNow(run);
}
// Every line read: the progress line is erased, and shown no more.
void EndRunProgress(RunProgress& run);
// The progress line stopped and erased, before another line is written.
void StopProgress(RunProgress& run);
