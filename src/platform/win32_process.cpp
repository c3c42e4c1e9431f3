// The Windows backend's process services: the requests to stop from the
// console, the end of the process, the current folder, the clock, and the
// ways of the Windows tool (none of the Linux ones). No text conversion
// here: the calls that convert live in win32.cpp.
#include <windows.h>

#include "platform/platform.h"

std::atomic<bool> gSysInterruptRequested{false};

namespace {

// Runs on a thread of its own. The first Ctrl+C or Ctrl+Break asks the run
// to stop at the next line boundary; a second one takes the system's way,
// which ends the process. Closing the console ends the process when this
// returns, so it waits for the run to end instead.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (gSysInterruptRequested.exchange(true) && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)) {
        return FALSE;
    }
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(INFINITE);
    return TRUE;
}

}  // namespace

void SysStartProcess(int /*argc*/, char** /*argv*/) {
    // A console tool run from batch jobs must never stop at a crash dialog.
    SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);
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

std::atomic<bool> gSysTickDue{false};

void SysStartTicker(uint32_t /*period*/) {}

void SysStopTicker() {}

void SysConsoleTextInUtf8() {}
