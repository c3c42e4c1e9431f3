#pragma once
// Failures and the end of the process. A failure is a C++ exception that
// nothing catches but TopLevelGuard, which keeps its two-line report; main
// writes out the console, then the report, and ends the process with status
// 1. (File and console operations leave their codes in the pending I/O
// result: io_result.h.) This module sits below the files: main, above both,
// flushes and closes the console.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "process/failure_place.h"


// The report text holds at most this many bytes.
inline constexpr size_t kReportLimit = 1023;
inline constexpr size_t kLastResortLength = 29;

struct Failure {
    std::string_view kindName;
    std::string message;
    uint32_t place;
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

// Prepares what the report needs, so that reporting allocates nothing.
void StartFailureFacility();
// Runs the run sequence and gives true with its exit status; or, when a
// failure escaped it, keeps the failure and gives false with status 1.
bool TopLevelGuard(uint32_t (*run)(), uint32_t* status);
// Writes the kept failure: the report on standard output, then the line on
// the diagnostic stream. Allocates nothing.
void ReportFailure();
// Ends the process with the status; consoleCode is what closing the console
// gave (the code of a failed final write, or 0), which overrides it.
[[noreturn]] void EndRun(uint32_t status, int32_t consoleCode);
