#include "session/run_report.h"

#include <cstdio>

#include "messages/messages.h"

namespace {

// The progress line: shown once the pass has lasted this long, rewritten
// at most every kProgressPeriod.
constexpr uint64_t kProgressDelay = 1000;
constexpr uint32_t kProgressPeriod = 250;
constexpr std::string_view kEraseLine = "\r\x1b[K";

std::string Number(int64_t value) { return std::to_string(value); }

std::string Replaced(std::string_view pattern, std::string_view value) {
    std::string out(pattern);
    size_t mark = out.find("%v");
    if (mark != std::string::npos) out.replace(mark, 2, value);
    return out;
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

void NoteUserError(RunReport& report, std::string_view what, std::string_view name, std::string_view value,
                   std::string_view reason) {
    report.userErrors.push_back(
        {what, name.empty() ? std::string() : SysShownName(std::string(name)), std::string(value), reason});
}

void NoteLoss(RunReport* report, std::string_view name, int64_t firstMissing, std::string_view reason) noexcept {
    if (report == nullptr) return;
    try {
        report->losses.push_back({SysShownName(std::string(name)), firstMissing, reason});
    } catch (...) {
        // Out of memory on the way out: the failure's own line still says
        // that the run did not end well.
    }
}

void StartRunProgress(RunProgress& run, std::string_view inputName, SysHandle input, bool showProgress) {
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
    run.showing = true;
    run.started = SysMilliseconds();
    SysStartTicker(kProgressPeriod);
}

void ShowProgressNow(RunProgress& run) {
    gSysTickDue.store(false, std::memory_order_relaxed);
    if (!run.showing) return;
    uint64_t elapsed = SysMilliseconds() - run.started;
    if (elapsed < kProgressDelay) return;
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
    run.shown = true;
}

void StopProgress(RunProgress& run) {
    if (run.showing) SysStopTicker();
    run.showing = false;
    if (!run.shown) return;
    SysWriteDiagnostic(kEraseLine);
    run.shown = false;
}

void EndRunProgress(RunProgress& run) {
    run.inputEnded = true;
    StopProgress(run);
}
