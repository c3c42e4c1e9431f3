#include "process/diagnostics.h"

#include <charconv>
#include <cstdio>

#include "messages/messages.h"
#include "process/failure_place.h"

RunProgress gRunProgress;

namespace {

// The progress line: shown once the pass has lasted this long, rewritten
// at most every kProgressPeriod.
constexpr uint64_t kProgressDelay = 1000;
constexpr uint32_t kProgressPeriod = 250;
constexpr std::string_view kEraseLine = "\r\x1b[K";

struct ProgressLine {
    bool active = false;
    bool shown = false;
    uint64_t started = 0;
};
ProgressLine progress;

// What a failure's line tells, kept when it is raised.
struct FailureNote {
    std::string file;  // as the system spells it
    int64_t firstMissing = 0;
    std::string causeAction;  // an earlier step that caused the failure
    std::string causeFile;
    std::string causeReason;
};
FailureNote noted;

struct Captured {
    bool known = false;
    std::string action;  // with the name in place
    std::string reason;
    int64_t firstMissing = 0;
};
Captured captured;

bool userErrorMet = false;

// The pattern with "%s" replaced by the name and "%v" by the value, in one
// pass, so that neither is read for marks itself.
std::string Filled(std::string_view pattern, std::string_view name, std::string_view value = {}) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'v')) {
            out += pattern[i + 1] == 's' ? name : value;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string Replaced(std::string_view pattern, std::string_view value) { return Filled(pattern, {}, value); }

std::string Number(int64_t value) { return std::to_string(value); }

// How far the run got.
std::string HowFar(int64_t firstMissing) {
    const RunProgress& run = gRunProgress;
    if (!run.inPass) return std::string(kDiagnosticNoLineRead);
    std::string text;
    if (firstMissing > 0) text = Replaced(kDiagnosticMissingFrom, Number(firstMissing)) + "; ";
    if (run.inputEnded) {
        text += Replaced(kDiagnosticWholeInput, Number(run.linesRead));
    } else {
        text += Replaced(kDiagnosticLineOfInput, Number(run.linesRouted + 1));
    }
    return text + "; " +
           Replaced(run.linesRouted == 1 ? kDiagnosticLineRouted : kDiagnosticLinesRouted, Number(run.linesRouted));
}

void EraseProgress() {
    if (!progress.shown) return;
    SysWriteDiagnostic(kEraseLine);
    progress.shown = false;
}

void StopProgress() {
    if (progress.active) SysStopTicker();
    progress.active = false;
    EraseProgress();
}

void WriteLine(std::string_view action, std::string_view reason, int64_t firstMissing) {
    EraseProgress();
    std::string line(kDiagnosticPrefix);
    line += action;
    if (!reason.empty()) line.append(": ").append(reason);
    line += " (" + HowFar(firstMissing) + ")\n";
    SysWriteDiagnostic(line);
}

std::string_view ActionAt(uint32_t place) {
    switch (place) {
        case kPlaceOpenInput: return kDiagnosticOpenInput;
        case kPlaceReadInput: return kDiagnosticReadInput;
        case kPlaceCloseInput: return kDiagnosticCloseInput;
        case kPlaceOpenDestination: return kDiagnosticOpenDestination;
        case kPlaceWriteDestination: return kDiagnosticWriteDestination;
        case kPlaceCloseDestination: return kDiagnosticCloseDestination;
        case kPlaceWriteConsole: return kDiagnosticWriteConsole;
        case kPlaceMakeDirectory: return kDiagnosticEmptyFolder;
        case kPlaceListIndex: return kDiagnosticListIndex;
        case kPlaceInterrupt: return kDiagnosticInterrupted;
        default: return kDiagnosticFailed;
    }
}

bool IsInputPlace(uint32_t place) {
    return place == kPlaceOpenInput || place == kPlaceReadInput || place == kPlaceCloseInput;
}

// Writes the pieces without allocating.
void WriteStraight(std::initializer_list<std::string_view> pieces) {
    for (std::string_view piece : pieces) SysWriteDiagnostic(piece);
}

std::string_view Digits(int64_t value, char (&room)[24]) {
    auto result = std::to_chars(room, room + sizeof room, value);
    return std::string_view(room, static_cast<size_t>(result.ptr - room));
}

// "12.3 MiB"
std::string Size(uint64_t bytes) {
    char text[32];
    double mebibytes = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::snprintf(text, sizeof text, "%.1f MiB", mebibytes);
    return text;
}

std::string Duration(uint64_t seconds) {
    if (seconds >= 3600)
        return Number(static_cast<int64_t>(seconds / 3600)) + " h " +
               Number(static_cast<int64_t>(seconds % 3600 / 60)) + " min";
    if (seconds >= 60)
        return Number(static_cast<int64_t>(seconds / 60)) + " min " + Number(static_cast<int64_t>(seconds % 60)) + " s";
    return Number(static_cast<int64_t>(seconds)) + " s";
}

}  // namespace

void StartRunProgress(std::string_view inputName, SysHandle input, bool showProgress) {
    RunProgress& run = gRunProgress;
    run.inputName = SysShownName(std::string(inputName));
    run.input = input;
    run.inputSize = 0;
    uint64_t size = 0;
    if (SysGetFileType(input) == SysFileType::Disk && SysGetFileSize(input, &size)) run.inputSize = size;
    run.linesRead = 0;
    run.linesRouted = 0;
    run.inPass = true;
    run.inputEnded = false;
    if (!showProgress || !SysStdErrorIsTerminal()) return;
    progress.active = true;
    progress.started = SysMilliseconds();
    SysStartTicker(kProgressPeriod);
}

void ShowProgressNow() {
    gSysTickDue.store(false, std::memory_order_relaxed);
    if (!progress.active) return;
    uint64_t elapsed = SysMilliseconds() - progress.started;
    if (elapsed < kProgressDelay) return;
    const RunProgress& run = gRunProgress;
    std::string line = std::string(kEraseLine) + std::string(kDiagnosticPrefix) +
                       Replaced(kDiagnosticProgress, Number(run.linesRead));
    uint64_t position = 0;
    bool positionKnown = run.inputSize > 0 && SysGetFilePointer(run.input, &position);
    if (positionKnown) {
        if (position > run.inputSize) position = run.inputSize;
        line += ", " + Size(position) + " of " + Size(run.inputSize) + " (" +
                Number(static_cast<int64_t>(position * 100 / run.inputSize)) + "%)";
    }
    line += ", " + Number(static_cast<int64_t>(static_cast<uint64_t>(run.linesRead) * 1000 / elapsed)) + " lines/s";
    if (positionKnown && position > 0) {
        uint64_t left = (run.inputSize - position) * elapsed / position / 1000;
        line += ", " + Duration(left) + " left";
    }
    SysWriteDiagnostic(line);
    progress.shown = true;
}

void EndRunProgress() {
    gRunProgress.inputEnded = true;
    StopProgress();
}

void NoteFailedFile(std::string_view name, int64_t firstMissingLine) {
    noted.file = SysShownName(std::string(name));
    noted.firstMissing = firstMissingLine;
}

void NoteFailureCause(std::string_view action, std::string_view name, uint32_t code) {
    noted.causeAction.assign(action);
    noted.causeFile = SysShownName(std::string(name));
    noted.causeReason = SysErrorText(code);
}

void CaptureIoFailure(int32_t code, uint32_t place, std::string_view reason) {
    // A destination that cannot be opened for want of its folder: the
    // folder's own failure is the reason.
    bool byCause = !noted.causeAction.empty() && place == kPlaceOpenDestination &&
                   code == static_cast<int32_t>(kErrorPathNotFound);
    std::string file = noted.file;
    if (IsInputPlace(place)) file = gRunProgress.inputName;
    captured.known = true;
    captured.firstMissing = noted.firstMissing;
    if (byCause) {
        captured.action = Filled(noted.causeAction, noted.causeFile);
        captured.reason = noted.causeReason;
    } else {
        captured.action = Filled(ActionAt(place), file);
        captured.reason.assign(reason);
    }
    noted = FailureNote{};
}

void DiagnoseFailure(uint32_t place, std::string_view detail) {
    StopProgress();
    if (place == kPlaceMemory) {
        char routed[24];
        WriteStraight({kDiagnosticPrefix, kDiagnosticOutOfMemory, " (", Digits(gRunProgress.linesRouted, routed),
                       " lines routed)\n"});
        return;
    }
    if (captured.known && place != kPlaceInterrupt) {
        WriteLine(captured.action, captured.reason, captured.firstMissing);
    } else {
        WriteLine(Replaced(ActionAt(place), detail), {}, 0);
    }
    captured = Captured{};
}

void DiagnoseLoss(std::string_view name, int64_t firstMissingLine, std::string_view reason) {
    WriteLine(Filled(kDiagnosticWriteDestination, SysShownName(std::string(name))), reason, firstMissingLine);
}

void DiagnoseNote(std::string_view text) {
    EraseProgress();
    std::string line(kDiagnosticPrefix);
    line.append(text).append("\n");
    SysWriteDiagnostic(line);
}

void DiagnoseUserError(std::string_view what, std::string_view name, std::string_view value, std::string_view reason) {
    userErrorMet = true;
    WriteLine(Filled(what, name.empty() ? std::string() : SysShownName(std::string(name)), value), reason, 0);
}

uint32_t RunExitStatus() { return userErrorMet ? SysConventions().userErrorStatus : 0; }
