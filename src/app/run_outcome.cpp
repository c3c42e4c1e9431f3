#include "app/run_outcome.h"

#include <charconv>
#include <new>
#include <string>

#include "files/journal.h"
#include "files/line_file.h"
#include "messages/messages.h"
#include "process/failure_place.h"
#include "session/console_messages.h"
#include "session/run_options.h"
#include "text/json_text.h"

namespace {

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
std::string HowFar(const RunProgress& run, int64_t firstMissing) {
    if (!run.inPass) return std::string(kDiagnosticNoLineRead);
    std::string text;
    if (run.inputEnded) {
        text += Replaced(kDiagnosticWholeInput, Number(run.linesRead));
    } else {
        text += Replaced(kDiagnosticLineOfInput, Number(run.linesRouted + 1));
    }
    text += "; " +
            Replaced(run.linesRouted == 1 ? kDiagnosticLineRouted : kDiagnosticLinesRouted, Number(run.linesRouted));
    // A failed write lost nothing: the run's lines left every file, and the
    // input still holds them all.
    if (firstMissing > 0 && run.everyPutBack) text.append("; ").append(kDiagnosticRunAgain);
    return text;
}

// What was being done, the file's name in place, and the reason.
std::string Told(std::string_view action, std::string_view reason) {
    std::string text(action);
    if (!reason.empty()) text.append(": ").append(reason);
    return text;
}

void WriteLine(const RunProgress& run, std::string_view told, int64_t firstMissing) {
    SysWriteDiagnostic(std::string(kDiagnosticPrefix) + std::string(told) + " (" + HowFar(run, firstMissing) + ")\n");
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

// What the failure's line tells, without how far the run got.
std::string FailureTold(const CaughtFailure& failure) {
    const FailureContext& context = failure.context;
    if (!context.causeAction.empty()) return Told(Filled(context.causeAction, context.file), context.reason);
    if (failure.place == kPlaceInterrupt || failure.kindName != kIoFailureKind) {
        return Replaced(ActionAt(failure.place), MessageOf(failure));
    }
    return Told(Filled(ActionAt(failure.place), context.file), context.reason);
}

std::string UserErrorTold(const UserError& error) {
    return Told(Filled(error.what, error.file, error.value), error.reason);
}

std::string_view Digits(int64_t value, char (&room)[24]) {
    auto result = std::to_chars(room, room + sizeof room, value);
    return std::string_view(room, static_cast<size_t>(result.ptr - room));
}

// Exhausted memory: the line in pieces, without allocating.
void WriteOutOfMemoryLine(const RunProgress& run) {
    char routed[24];
    for (std::string_view piece : {kDiagnosticPrefix, kDiagnosticOutOfMemory, std::string_view(" ("),
                                   Digits(run.linesRouted, routed), std::string_view(" lines routed)\n")}) {
        SysWriteDiagnostic(piece);
    }
}

void WriteFailureLine(const RunProgress& run, const CaughtFailure& failure) {
    if (failure.place == kPlaceMemory) {
        WriteOutOfMemoryLine(run);
        return;
    }
    WriteLine(run, FailureTold(failure), failure.context.firstMissing);
}

void AddCounts(std::string& out, const RunProgress& run) {
    out += ',';
    AddJsonField(out, "input", Utf8Name(run.inputName));
    out += ',';
    AddJsonNumber(out, "lines", run.linesRead);
    out += ',';
    AddJsonNumber(out, "routed", run.linesRouted);
}

// The failure's object for scripts; a bare one when memory is short.
void WriteFailureJson(const RunProgress& run, const CaughtFailure& failure, bool interrupted) {
    std::string_view outcome = interrupted ? "interrupted" : "failure";
    SysConsoleTextInUtf8();
    try {
        std::string out = "{";
        AddJsonField(out, "outcome", outcome);
        out += ',';
        AddJsonField(out, "kind", failure.kindName);
        out += ',';
        AddJsonNumber(out, "code", failure.code);
        out += ',';
        char place[8];
        uint32_t value = failure.place;
        for (int i = 7; i >= 0; --i, value >>= 4) place[i] = "0123456789ABCDEF"[value & 0xF];
        AddJsonField(out, "place", std::string_view(place, sizeof place));
        out += ',';
        AddJsonField(out, "file", Utf8Name(failure.context.file));
        out += ',';
        AddJsonField(out, "message", SysTextToUtf8(MessageOf(failure)));
        out += ',';
        AddJsonField(out, "error", FailureTold(failure));
        out += ',';
        AddJsonField(out, "reason", failure.context.reason);
        AddCounts(out, run);
        out += "}\n";
        WriteStraight(out);
    } catch (const std::bad_alloc&) {
        for (std::string_view piece : {std::string_view("{\"outcome\":\""), outcome, std::string_view("\",\"kind\":\""),
                                       failure.kindName, std::string_view("\"}\n")}) {
            WriteStraight(piece);
        }
    }
}

}  // namespace

RunEnd OutcomeOf(const RunReport& report, const CaughtFailure* failure) {
    if (failure != nullptr) return failure->place == kPlaceInterrupt ? RunEnd::Interrupted : RunEnd::Failure;
    return report.userErrors.empty() ? RunEnd::Done : RunEnd::UserError;
}

uint32_t ExitStatusOf(RunEnd end, const SysUserConventions& ways) {
    switch (end) {
        case RunEnd::Done: return 0;
        case RunEnd::UserError: return ways.userErrorFails ? 2 : 0;
        case RunEnd::Failure:
        case RunEnd::Interrupted: return 1;
    }
    return 1;
}

void PrintOutcomeJson(const RunReport& report, int32_t columnNo) {
    std::string out = "{";
    if (!report.userErrors.empty()) {
        AddJsonField(out, "outcome", "user error");
        out += ",\"errors\":[";
        for (size_t i = 0; i < report.userErrors.size(); ++i) {
            const UserError& error = report.userErrors[i];
            out += i == 0 ? "{" : ",{";
            AddJsonField(out, "error", Utf8Name(UserErrorTold(error)));
            out += ',';
            AddJsonField(out, "file", Utf8Name(error.file));
            out += '}';
        }
        out += "]}\n";
    } else if (columnNo <= 0) {
        AddJsonField(out, "outcome", "skipped");
        out += ',';
        AddJsonNumber(out, "column", columnNo);
        out += "}\n";
    } else {
        return;  // the pass printed its summary
    }
    SysConsoleTextInUtf8();
    WriteConsoleText(out);
}

uint32_t FinishRun(RunReport& report, const CaughtFailure* failure, const SysUserConventions& ways) {
    RunEnd end = OutcomeOf(report, failure);
    RunProgress& run = report.progress;
    StopProgress(run);
    for (const UserError& error : report.userErrors) WriteLine(run, UserErrorTold(error), 0);
    if (failure != nullptr) {
        // The report follows every line the console still holds.
        FlushConsoleText();
        std::string_view text(failure->report, failure->reportLength);
        if (gRunOptions.SummaryJson) {
            SysWriteDiagnostic(text);
            WriteFailureJson(run, *failure, end == RunEnd::Interrupted);
        } else {
            WriteStraight(text);
        }
        try {
            for (const LostLines& loss : report.losses) {
                WriteLine(run, Told(Filled(kDiagnosticWriteDestination, loss.file), loss.reason), loss.firstMissing);
            }
        } catch (const std::bad_alloc&) {
            // Memory ran out: the failure's own line, built without it, follows.
        }
        WriteFailureLine(run, *failure);
    }
    return ExitStatusOf(end, ways);
}
