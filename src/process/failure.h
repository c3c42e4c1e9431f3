#pragma once
// Failures and the end of the process. A failure is a C++ exception that
// carries its report's pieces (kind name, message, place, code) and its
// context: the file the failed operation worked on, as the system spells
// it, the system's reason, the first input line that may be missing, and
// what was being done when an earlier step is the cause (a folder that
// could not be made). Nothing catches it but TopLevelGuard, which hands it
// to main as a CaughtFailure, with its report built; app/ then writes the
// report and the line on standard error and maps the run's outcome to the
// exit status. Nothing here keeps what went wrong: the failure carries it.
// (File and console operations leave their codes in the pending I/O result:
// io_result.h.)

#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "messages/messages.h"
#include "platform/platform.h"
#include "process/failure_place.h"

// The report text holds at most this many bytes.
inline constexpr size_t kReportLimit = 1023;
inline constexpr size_t kLastResortLength = 29;

struct FailureContext {
    std::string file;          // as the system spells it; empty: none
    std::string_view reason;   // the system's words, or ours; a static text
    int64_t firstMissing = 0;  // the first input line that may be missing from the file; 0: none
    // An earlier step that caused the failure: what it did, a pattern with
    // "%s" for the file (empty: the failed operation itself).
    std::string_view causeAction;
};

struct Failure {
    std::string_view kindName;
    std::string message;
    uint32_t place;
    int32_t code = 0;  // an input/output failure's code
    FailureContext context;
};

[[noreturn]] void RaiseFailure(std::string_view kindName, std::string message, uint32_t place);

[[noreturn]] void RaiseInterrupt();
// Ends the run with the interruption report when a request to stop has come
// (SIGINT, SIGTERM, SIGHUP; Ctrl+C, closing the console). Called between
// lines, so that no destination is left with part of a line.
inline void CheckInterrupt() {
    if (SysInterruptRequested()) RaiseInterrupt();
}

// The pattern with its one %d replaced by the number in signed decimal.
std::string WithNumber(std::string_view pattern, int64_t number);

// Builds the report text, cut to kReportLimit bytes, into `out`; gives its
// length. Allocates nothing.
size_t BuildFailureReport(std::string_view kindName, std::string_view moduleName, uint32_t place,
                          std::string_view message, char* out);
// The program file's name without its directory.
std::string_view ModuleNameOf(std::string_view path);
// Fills `out` with the 29-byte last-resort line.
void BuildLastResortLine(uint32_t number, uint32_t address, char* out);

// Prepares what the report needs (the program file's name), so that
// reporting allocates nothing.
void StartFailureFacility();

// A failure as the guard caught it: its report built (with CR LF), its
// pieces moved out of the exception. Filled without allocating, so that
// exhausted memory is reported too.
struct CaughtFailure {
    std::string_view kindName;
    uint32_t place = kPlaceUnknown;
    int32_t code = 0;
    std::string message;  // moved from the failure
    FailureContext context;
    char report[kReportLimit + 2];
    size_t reportLength = 0;
    char other[kReportLimit];  // the message of another exception, or of exhausted memory
    size_t otherLength = 0;
};
// The caught failure's message.
std::string_view MessageOf(const CaughtFailure& caught);
// Keeps a message that is not a string of the failure's own, cut to the
// room; allocates nothing.
void KeepOtherMessage(CaughtFailure& caught, std::string_view message);
// Builds the report of a caught failure into it.
void KeepFailure(CaughtFailure& caught);

// Runs the run sequence; gives true when it ended, or false when a failure
// escaped it, which `caught` then holds. The failure is not offered to the
// platform's crash handling: under Wine, and on Windows with a debugger set
// to start by itself, that hands the process to a debugger, which ends it
// before the report is written.
template <typename Run>
bool TopLevelGuard(Run&& run, CaughtFailure& caught) {
    try {
        run();
        return true;
    } catch (Failure& failure) {
        caught.kindName = failure.kindName;
        caught.place = failure.place;
        caught.code = failure.code;
        caught.message = std::move(failure.message);
        caught.context = std::move(failure.context);
    } catch (const std::bad_alloc&) {
        caught.kindName = kOutOfMemoryKind;
        caught.place = kPlaceMemory;
        KeepOtherMessage(caught, kOutOfMemoryMessage);
    } catch (const std::exception& other) {
        caught.kindName = kGeneralFailureKind;
        caught.place = kPlaceUnknown;
        KeepOtherMessage(caught, other.what());
    }
    KeepFailure(caught);
    return false;
}

// Writes the text straight to the standard output handle, past the console
// writer; results are ignored.
void WriteStraight(std::string_view text);
// Ends the process with the status; consoleCode is what closing the console
// gave (the code of a failed final write, or 0), which overrides it.
[[noreturn]] void EndRun(uint32_t status, int32_t consoleCode);
