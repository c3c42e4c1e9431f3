// The Windows backend: thin calls to kernel32, nothing of its own.
#include <windows.h>

#include "platform/platform.h"

static HANDLE ToWin(SysHandle handle) { return reinterpret_cast<HANDLE>(handle); }
static SysHandle FromWin(HANDLE handle) { return reinterpret_cast<SysHandle>(handle); }

SysHandle SysCreateFile(const std::string& name, uint32_t access, uint32_t shareMode,
                        uint32_t disposition, uint32_t attributes) {
    return FromWin(CreateFileA(name.c_str(), access, shareMode, nullptr, disposition, attributes,
                               nullptr));
}

bool SysReadFile(SysHandle file, void* buffer, uint32_t size, uint32_t* delivered) {
    DWORD count = 0;
    BOOL ok = ReadFile(ToWin(file), buffer, size, &count, nullptr);
    *delivered = count;
    return ok != FALSE;
}

bool SysWriteFile(SysHandle file, const void* bytes, uint32_t size, uint32_t* written) {
    DWORD count = 0;
    BOOL ok = WriteFile(ToWin(file), bytes, size, &count, nullptr);
    *written = count;
    return ok != FALSE;
}

bool SysGetFileSize(SysHandle file, uint64_t* size) {
    DWORD high = 0;
    DWORD low = GetFileSize(ToWin(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    *size = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

bool SysSetFilePointer(SysHandle file, uint64_t position) {
    LONG high = static_cast<LONG>(position >> 32);
    DWORD low = SetFilePointer(ToWin(file), static_cast<LONG>(position & 0xFFFFFFFFu), &high,
                               FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

SysFileType SysGetFileType(SysHandle file) {
    return static_cast<SysFileType>(GetFileType(ToWin(file)) & 0xFFFF);
}

SysHandle SysGetStdOutput() { return FromWin(GetStdHandle(STD_OUTPUT_HANDLE)); }

bool SysCloseHandle(SysHandle file) { return CloseHandle(ToWin(file)) != FALSE; }

uint32_t SysLastError() { return GetLastError(); }

SysHandle SysFindFirstFile(const std::string& path, SysFindData* found) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return kInvalidHandle;
    found->attributes = data.dwFileAttributes;
    return FromWin(search);
}

bool SysFindClose(SysHandle search) { return FindClose(ToWin(search)) != FALSE; }

uint32_t SysGetFileAttributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

bool SysCreateDirectory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool SysDeleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

uint32_t SysGetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultText, char* buffer, uint32_t size,
                                    const std::string& path) {
    return GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer,
                                    size, path.c_str());
}

void SysFlushPrivateProfile(const std::string& path) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

int SysCompareString(bool ignoreCase, std::string_view first, std::string_view second) {
    return CompareStringA(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0, first.data(),
                          static_cast<int>(first.size()), second.data(),
                          static_cast<int>(second.size()));
}

void SysCharLowerBuff(char* text, uint32_t length) { CharLowerBuffA(text, length); }

int SysLeadByteRanges(uint8_t ranges[12]) {
    char number[8] = {};
    UINT codePage = 0;
    if (GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, number, sizeof number) > 0) {
        for (const char* digit = number; *digit >= '0' && *digit <= '9'; ++digit) {
            codePage = codePage * 10 + static_cast<UINT>(*digit - '0');
        }
    }
    if (codePage == 0) codePage = GetACP();
    CPINFO info;
    if (!GetCPInfo(codePage, &info)) return 0;
    int pairs = 0;
    while (pairs < 6 && (info.LeadByte[2 * pairs] != 0 || info.LeadByte[2 * pairs + 1] != 0)) {
        ranges[2 * pairs] = info.LeadByte[2 * pairs];
        ranges[2 * pairs + 1] = info.LeadByte[2 * pairs + 1];
        ++pairs;
    }
    return pairs;
}

std::string SysGetCommandLine() { return GetCommandLineA(); }

bool SysIsPathWord(std::string_view /*word*/) { return false; }

bool SysIsRootedName(std::string_view /*name*/) { return false; }

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    if (length >= size) length = size - 1;
    buffer[length] = '\0';
    return length;
}

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

void SysStartProcess() {
    // A console tool run from batch jobs must never stop at a crash dialog.
    SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void SysExitProcess(uint32_t status) { ExitProcess(status); }
