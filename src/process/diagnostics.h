#pragma once
// What the user is told beside the program's output: one English line on
// the diagnostic stream (Linux: standard error; the Windows program writes
// nothing there) for every user error and every failure, and the progress
// line while a long pass runs. Standard output never changes for it.
//
// A line reads "rowdispatch: " + what was being done + the file's name as
// the system spells it (SysShownName) + ": " + the system's reason + how far
// the run got, for example
//   rowdispatch: cannot open destination /data/out/tokyo.csv for appending:
//   Permission denied (line 37121 of the input; 37120 lines routed)
//
// How far the run got comes from gRunProgress, which the assort pass keeps
// (lines read, lines routed, the input's end). How a failure's context
// reaches the line:
//   - ReportFailure calls DiagnoseFailure for every failure it reports; the
//     place of the failure says what was being done, and the input's name
//     or "standard output" is the file where the place names one.
//   - Code that knows more notes it just before the check that raises the
//     failure: NoteFailedFile(name, firstMissingLine) for the file the
//     failed operation worked on (a destination), with the first input line
//     that may be missing from it when a failed write may have cost lines;
//     NoteFailureCause(action, name, code) when an earlier step is the real
//     cause (a folder that could not be made, the open that follows failing
//     for want of it). RaiseIoFailure takes both, with the system's reason
//     for the code, before anything else can change them.
//   - A loss that a second failure causes while the run is already ending
//     (a destination written out on the way out) is told at once by
//     DiagnoseLoss.
// User errors are told by DiagnoseUserError, which also sets the exit
// status that the run ends with (SysConventions().userErrorStatus).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

// How far the run got. Kept by the assort pass; read by the diagnostic line
// and the progress line.
struct RunProgress {
    std::string inputName;  // as the system spells it; empty before the pass
    SysHandle input = kInvalidHandle;
    uint64_t inputSize = 0;  // 0: unknown (a pipe)
    int64_t linesRead = 0;
    int64_t linesRouted = 0;  // routed and counted (with /o: counted)
    bool inPass = false;
    bool inputEnded = false;  // every line read
};
extern RunProgress gRunProgress;

// The pass starts on the input (its handle open, its name as typed): the
// counters start, and the progress line may be shown (showProgress: not
// silenced by /s).
void StartRunProgress(std::string_view inputName, SysHandle input, bool showProgress);
// A line read, and a line routed: the counters for the diagnostic line.
inline void CountLineRead() { ++gRunProgress.linesRead; }
inline void CountLineRouted() { gRunProgress.linesRouted = gRunProgress.linesRead; }
// Once a line: shows the progress line when a tick is due.
void ShowProgressNow();
inline void TickProgress() {
    if (SysTickDue()) [[unlikely]]
        ShowProgressNow();
}
// Every line read: the progress line is erased, and shown no more.
void EndRunProgress();

void NoteFailedFile(std::string_view name, int64_t firstMissingLine = 0);
// `action` holds one "%s" for the name.
void NoteFailureCause(std::string_view action, std::string_view name, uint32_t code);
// Called by RaiseIoFailure with the reason for the code (IoReasonText):
// keeps what the line needs (the noted file or cause) for DiagnoseFailure.
void CaptureIoFailure(int32_t code, uint32_t place, std::string_view reason);
// The line for a failure that ReportFailure reports. Allocates nothing for
// exhausted memory.
void DiagnoseFailure(uint32_t place, std::string_view detail);
// The line for a destination that lost lines while the run was ending.
void DiagnoseLoss(std::string_view name, int64_t firstMissingLine, std::string_view reason);

// A line of its own: the prefix, the text and a line end.
void DiagnoseNote(std::string_view text);

// A user error: its line ("what" holds "%s" for the file's name and "%v"
// for a value, then the reason when there is one), and the exit status
// after one.
void DiagnoseUserError(std::string_view what, std::string_view name = {}, std::string_view value = {},
                       std::string_view reason = {});
uint32_t RunExitStatus();
