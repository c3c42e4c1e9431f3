// The Windows backend's process services: the requests to stop from the
// console and the console writes that give up after one, the end of the
// process, the current folder, the clock, and the ways of the Windows tool
// (none of the Linux ones). No text conversion here: the calls that convert
// live in win32.cpp.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32_internal.h"

#include <algorithm>
#include <cstring>
#include <string>

std::atomic<bool> gSysInterruptRequested{false};

namespace {

// Set with the first request to stop; a console write waits on it.
HANDLE stopEvent = nullptr;

// Runs on a thread of its own. The first Ctrl+C or Ctrl+Break asks the run
// to stop at the next line boundary; a second one takes the system's way,
// which ends the process. Closing the console ends the process when this
// returns, so it waits for the run to end instead.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (gSysInterruptRequested.exchange(true) && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)) {
        return FALSE;
    }
    SetEvent(stopEvent);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(INFINITE);
    return TRUE;
}

// After a request to stop, a console write waits at most this long in all,
// so that the run still ends, with its report, when nobody reads.
constexpr uint64_t kStopGrace = 1000;

// The thread that writes standard output, one piece at a time, from a copy
// of its own (a write given up on may still be waiting with it). Set up at
// the start, so that writing the report never allocates.
struct ConsoleWriter {
    HANDLE output = INVALID_HANDLE_VALUE;
    HANDLE request = nullptr;
    HANDLE done = nullptr;
    char piece[4096];
    uint32_t size = 0;
    uint32_t written = 0;
    DWORD error = 0;
    bool ok = false;
    bool busy = false;  // a piece handed over and not yet written
} writer;

DWORD WINAPI WriteOnRequest(void*) {
    for (;;) {
        WaitForSingleObject(writer.request, INFINITE);
        writer.ok = win32::WriteAll(writer.output, writer.piece, writer.size, &writer.written);
        writer.error = GetLastError();
        SetEvent(writer.done);
    }
}

// Waits for the piece handed over: as long as it takes, until a request to
// stop; from then on only until the grace is over. False when it is still
// waiting.
bool PieceWritten() {
    if (!SysInterruptRequested()) {
        HANDLE either[2] = {writer.done, stopEvent};
        if (WaitForMultipleObjects(2, either, FALSE, INFINITE) == WAIT_OBJECT_0) {
            writer.busy = false;
            return true;
        }
    }
    static uint64_t deadline = 0;
    uint64_t now = GetTickCount64();
    if (deadline == 0) deadline = now + kStopGrace;
    DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    if (WaitForSingleObject(writer.done, left) != WAIT_OBJECT_0) return false;
    writer.busy = false;
    return true;
}

void StartConsoleWriter() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD type = output == nullptr || output == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : GetFileType(output);
    if (type != FILE_TYPE_PIPE && type != FILE_TYPE_CHAR) return;
    writer.request = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    writer.done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = writer.request != nullptr && writer.done != nullptr && stopEvent != nullptr
                        ? CreateThread(nullptr, 0, WriteOnRequest, nullptr, 0, nullptr)
                        : nullptr;
    if (thread == nullptr) return;  // written directly, as any file
    CloseHandle(thread);
    writer.output = output;
}

}  // namespace

bool win32::WritesWithinGrace(HANDLE file) { return file == writer.output; }

bool win32::WriteWithinGrace(const void* bytes, uint32_t size, uint32_t* written) {
    *written = 0;
    while (*written < size) {
        if (writer.busy && !PieceWritten()) {
            SetLastError(ERROR_OPERATION_ABORTED);
            return false;
        }
        writer.size = std::min<uint32_t>(size - *written, sizeof writer.piece);
        std::memcpy(writer.piece, static_cast<const char*>(bytes) + *written, writer.size);
        writer.busy = true;
        SetEvent(writer.request);
        if (!PieceWritten()) {
            SetLastError(ERROR_OPERATION_ABORTED);
            return false;
        }
        *written += writer.written;
        if (!writer.ok) {
            SetLastError(writer.error);
            return false;
        }
    }
    return true;
}

void SysStartProcess(int /*argc*/, char** /*argv*/) {
    // A console tool run from batch jobs must never stop at a crash dialog.
    SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    StartConsoleWriter();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void SysExitProcess(uint32_t status) { ExitProcess(status); }

const SysUserConventions& SysConventions() {
    static const SysUserConventions kWindowsWays{false, false, false};
    return kWindowsWays;
}

std::string SysCurrentFolder() {
    char folder[MAX_PATH + 1];
    DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    std::string text = length > 0 && length < sizeof folder ? std::string(folder, length) : std::string(".");
    if (text.back() != '\\') text += '\\';
    return text;
}

uint64_t SysMilliseconds() { return GetTickCount64(); }

void SysBackMemory(void*, size_t) {}

namespace {

// When the system started, in seconds of the system clock.
int64_t BootSecond() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000) - static_cast<int64_t>(GetTickCount64() / 1000);
}

}  // namespace

std::string SysBootRecord() { return std::string("t").append(std::to_string(BootSecond())); }

// The same start within a minute: the clock may have been set meanwhile.
bool SysSameBoot(std::string_view record) {
    // A journal is read back from disk: more digits than a second count
    // holds are no record of ours.
    if (record.size() < 2 || record.size() > 19 || record[0] != 't') return false;
    int64_t second = 0;
    bool negative = record[1] == '-';
    for (char digit : record.substr(negative ? 2 : 1)) {
        if (digit < '0' || digit > '9') return false;
        second = second * 10 + (digit - '0');
    }
    int64_t apart = (negative ? -second : second) - BootSecond();
    return apart >= -60 && apart <= 60;
}

std::atomic<bool> gSysTickDue{false};

void SysStartTicker(uint32_t /*period*/) {}

void SysStopTicker() {}

void SysConsoleTextInUtf8() {}
