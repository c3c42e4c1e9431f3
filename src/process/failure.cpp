#include "process/failure.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

#include "codepage/code_page.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "process/diagnostics.h"

namespace {

// The program file's path as the platform gives it, fetched at start-up.
char modulePath[kModulePathRoom];
uint32_t modulePathLength = 0;

// The failure that ended the run, kept from its catch until main has written
// out what the console still holds: the report, and the place and message
// for the diagnostic line.
char report[kReportLimit + 2];
size_t reportLength = 0;
char caughtMessage[kReportLimit];
size_t caughtLength = 0;
uint32_t caughtPlace = kPlaceUnknown;

struct Writer {
    char* out;
    size_t length;
    void Add(std::string_view text) {
        size_t room = kReportLimit - length;
        size_t count = std::min(room, text.size());
        std::memcpy(out + length, text.data(), count);
        length += count;
    }
};

void WriteStraight(std::string_view text) {
    uint32_t written = 0;
    SysWriteFile(SysGetStdOutput(), text.data(), static_cast<uint32_t>(text.size()), &written);
}

}  // namespace

void RaiseFailure(std::string_view kindName, std::string message, uint32_t place) {
    throw Failure{kindName, std::move(message), place};
}

void RaiseInterrupt() { RaiseFailure(kInterruptKind, std::string(kInterruptMessage), kPlaceInterrupt); }

std::string WithNumber(std::string_view pattern, int64_t number) {
    size_t mark = pattern.find("%d");
    std::string text(pattern.substr(0, mark));
    text += std::to_string(number);
    text += pattern.substr(mark + 2);
    return text;
}

size_t BuildFailureReport(std::string_view kindName, std::string_view moduleName, uint32_t place,
                          std::string_view message, char* out) {
    char placeDigits[8];
    for (int i = 7; i >= 0; --i, place >>= 4) placeDigits[i] = "0123456789ABCDEF"[place & 0xF];
    bool needsDot = !message.empty() && message.back() != '.';
    std::string_view fields[] = {kindName, moduleName, std::string_view(placeDigits, 8), message, needsDot ? "." : ""};
    Writer writer{out, 0};
    size_t field = 0;
    std::string_view format = kReportFormat;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == 'p')) {
            writer.Add(fields[field++]);
            ++i;
        } else {
            writer.Add(format.substr(i, 1));
        }
    }
    return writer.length;
}

std::string_view ModuleNameOf(std::string_view path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && ClassifyByte(path, i) != ByteClass::Second) start = i + 1;
    }
    return path.substr(start);
}

void BuildLastResortLine(uint32_t number, uint32_t address, char* out) {
    std::memcpy(out, kLastResortTemplate.data(), kLastResortLength);
    size_t i = 16;
    do {
        out[i] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0 && i-- > 14);
    for (size_t j = 28; address != 0 && j >= 21; --j, address >>= 4) out[j] = "0123456789ABCDEF"[address & 0xF];
}

void StartFailureFacility() { modulePathLength = SysGetModuleFileName(modulePath, kModulePathRoom); }

void ReportFailure() {
    WriteStraight(std::string_view(report, reportLength));
    DiagnoseFailure(caughtPlace, std::string_view(caughtMessage, caughtLength));
}

void EndRun(uint32_t status, int32_t consoleCode) {
    if (consoleCode != 0) {
        // Standard output failed while closing, past the guard: the last
        // resort. A code whose low byte is 0 must still not end as success.
        uint32_t number = static_cast<uint32_t>(consoleCode) & 0xFF;
        if (number == 0) number = 1;
        char line[kLastResortLength + 2];
        BuildLastResortLine(number, kPlaceWriteConsole, line);
        std::memcpy(line + kLastResortLength, kLineEnd.data(), kLineEnd.size());
        WriteStraight(std::string_view(line, sizeof line));
        status = number;
    }
    SysExitProcess(status);
}

namespace {

// Keeps what the report and the diagnostic line need while the failure is
// at hand, allocating nothing.
void KeepFailure(std::string_view kindName, std::string_view message, uint32_t place) {
    size_t length = BuildFailureReport(kindName, ModuleNameOf(std::string_view(modulePath, modulePathLength)), place,
                                       message, report);
    std::memcpy(report + length, kLineEnd.data(), kLineEnd.size());
    reportLength = length + kLineEnd.size();
    caughtLength = std::min(message.size(), sizeof caughtMessage);
    std::memcpy(caughtMessage, message.data(), caughtLength);
    caughtPlace = place;
}

}  // namespace

// The failure is not offered to the platform's crash handling: under Wine,
// and on Windows with a debugger set to start by itself, that hands the
// process to a debugger, which ends it before the report is written.
bool TopLevelGuard(uint32_t (*run)(), uint32_t* status) {
    try {
        *status = run();
        return true;
    } catch (const Failure& failure) {
        KeepFailure(failure.kindName, failure.message, failure.place);
    } catch (const std::bad_alloc&) {
        KeepFailure(kOutOfMemoryKind, kOutOfMemoryMessage, kPlaceMemory);
    } catch (const std::exception& other) {
        KeepFailure(kGeneralFailureKind, other.what(), kPlaceUnknown);
    }
    *status = 1;
    return false;
}
