// The Windows backend: thin calls to kernel32; for a UTF-8 run the W calls
// (profile values, names, the command line and the program's name, converted
// from and to UTF-8). Comparison and lower-casing are the system's, for code
// page 932 only: the code-page module compares UTF-8 text itself.
#include <windows.h>

#include "platform/platform.h"
#include "platform/utf8.h"
#include "platform/win32_internal.h"

#include <algorithm>
#include <string>

static HANDLE ToWin(SysHandle handle) { return reinterpret_cast<HANDLE>(handle); }
static SysHandle FromWin(HANDLE handle) { return reinterpret_cast<SysHandle>(handle); }

namespace {

UINT codePage = kCodePageShiftJis;

std::wstring Wide(const std::string& text, UINT from, DWORD flags = 0) {
    int length = MultiByteToWideChar(from, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(from, flags, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// A UTF-8 name as the wide services take it, up to a zero byte; false (with
// the invalid-name code) for bytes that are not UTF-8.
bool WideName(const std::string& name, std::wstring& wide) {
    const std::string text = name.c_str();
    wide = Wide(text, CP_UTF8, MB_ERR_INVALID_CHARS);
    if (wide.empty() && !text.empty()) SetLastError(ERROR_INVALID_NAME);
    return !wide.empty() || text.empty();
}

// Wide text as UTF-8, cut to `room` bytes at a character boundary; gives
// the number of bytes.
size_t Utf8Of(const wchar_t* wide, size_t length, char* out, size_t room) {
    size_t written = 0;
    for (size_t i = 0; i < length;) {
        int units = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < length) ? 2 : 1;
        char bytes[4];
        int size = WideCharToMultiByte(CP_UTF8, 0, wide + i, units, bytes, sizeof bytes, nullptr, nullptr);
        if (size <= 0 || written + static_cast<size_t>(size) > room) break;
        std::copy(bytes, bytes + size, out + written);
        written += static_cast<size_t>(size);
        i += static_cast<size_t>(units);
    }
    return written;
}

}  // namespace

SysHandle SysCreateFile(const std::string& name, uint32_t access, uint32_t shareMode, uint32_t disposition,
                        uint32_t attributes) {
    attributes &= ~kOpenSeenBefore;
    if (codePage == kCodePageUtf8) {
        std::wstring wide;
        if (!WideName(name, wide)) return kInvalidHandle;
        return FromWin(CreateFileW(wide.c_str(), access, shareMode, nullptr, disposition, attributes, nullptr));
    }
    return FromWin(CreateFileA(name.c_str(), access, shareMode, nullptr, disposition, attributes, nullptr));
}

bool SysReadFile(SysHandle file, void* buffer, uint32_t size, uint32_t* delivered) {
    DWORD count = 0;
    BOOL ok = ReadFile(ToWin(file), buffer, size, &count, nullptr);
    *delivered = count;
    return ok != FALSE;
}

bool win32::WriteAll(HANDLE file, const void* bytes, uint32_t size, uint32_t* written) {
    *written = 0;
    while (*written < size) {
        DWORD count = 0;
        if (!WriteFile(file, static_cast<const char*>(bytes) + *written, size - *written, &count, nullptr))
            return false;
        if (count == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        *written += count;
    }
    return true;
}

bool SysWriteFile(SysHandle file, const void* bytes, uint32_t size, uint32_t* written) {
    if (win32::WritesWithinGrace(ToWin(file))) return win32::WriteWithinGrace(bytes, size, written);
    return win32::WriteAll(ToWin(file), bytes, size, written);
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
    DWORD low = SetFilePointer(ToWin(file), static_cast<LONG>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool SysGetFileIdentity(SysHandle file, SysFileIdentity* identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(ToWin(file), &info)) return false;
    identity->device = info.dwVolumeSerialNumber;
    identity->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool SysFlushFileBuffers(SysHandle file) { return FlushFileBuffers(ToWin(file)) != FALSE; }

bool SysFlushFolder(const std::string& /*path*/) { return true; }

SysFileType SysGetFileType(SysHandle file) { return static_cast<SysFileType>(GetFileType(ToWin(file)) & 0xFFFF); }

SysHandle SysGetStdOutput() { return FromWin(GetStdHandle(STD_OUTPUT_HANDLE)); }

bool SysCloseHandle(SysHandle file) { return CloseHandle(ToWin(file)) != FALSE; }

bool SysTruncateFile(SysHandle file, uint64_t size) {
    return SysSetFilePointer(file, size) && SetEndOfFile(ToWin(file)) != FALSE;
}

uint32_t SysOpenFileRoom() { return UINT32_MAX; }

uint32_t SysLastError() { return GetLastError(); }

SysError SysLastFailure() { return {GetLastError(), {}}; }

void SysWriteDiagnostic(std::string_view /*text*/) {}

std::string SysShownName(const std::string& name) { return name; }

bool SysStdErrorIsTerminal() { return false; }

bool SysGetFilePointer(SysHandle file, uint64_t* position) {
    LARGE_INTEGER zero = {};
    LARGE_INTEGER at = {};
    if (!SetFilePointerEx(ToWin(file), zero, &at, FILE_CURRENT)) return false;
    *position = static_cast<uint64_t>(at.QuadPart);
    return true;
}

SysHandle SysOpenStdInput() { return FromWin(GetStdHandle(STD_INPUT_HANDLE)); }

namespace {

// One directory search by the services of the run: the wide ones in a UTF-8
// run, the ANSI ones otherwise; names in the run's code page.
struct Search {
    bool wide = codePage == kCodePageUtf8;
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW wideData;
    WIN32_FIND_DATAA data;
    bool First(const std::string& pattern) {
        std::wstring name;
        if (wide && !WideName(pattern, name)) return false;
        handle = wide ? FindFirstFileW(name.c_str(), &wideData) : FindFirstFileA(pattern.c_str(), &data);
        return handle != INVALID_HANDLE_VALUE;
    }
    bool Next() { return (wide ? FindNextFileW(handle, &wideData) : FindNextFileA(handle, &data)) != FALSE; }
    DWORD Attributes() const { return wide ? wideData.dwFileAttributes : data.dwFileAttributes; }
    std::string Name() const {
        if (!wide) return data.cFileName;
        char name[4 * MAX_PATH];
        return std::string(name, Utf8Of(wideData.cFileName, wcslen(wideData.cFileName), name, sizeof name));
    }
};

}  // namespace

SysHandle SysFindFirstFile(const std::string& path, SysFindData* found) {
    Search search;
    if (!search.First(path)) return kInvalidHandle;
    found->attributes = search.Attributes();
    return FromWin(search.handle);
}

bool SysFindClose(SysHandle search) { return FindClose(ToWin(search)) != FALSE; }

bool SysListFolder(const std::string& folder, std::vector<std::string>& names) {
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    Search search;
    if (!search.First(pattern + '*')) return false;
    do {
        std::string name = search.Name();
        if (name != "." && name != "..") names.push_back(std::move(name));
    } while (search.Next());
    FindClose(search.handle);
    return true;
}

uint32_t SysGetFileAttributes(const std::string& path) {
    if (codePage != kCodePageUtf8) return GetFileAttributesA(path.c_str());
    std::wstring wide;
    return WideName(path, wide) ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
}

bool SysCreateDirectory(const std::string& path) {
    if (codePage != kCodePageUtf8) return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
    std::wstring wide;
    return WideName(path, wide) && CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
}

bool SysDeleteFile(const std::string& path) {
    if (codePage != kCodePageUtf8) return DeleteFileA(path.c_str()) != FALSE;
    std::wstring wide;
    return WideName(path, wide) && DeleteFileW(wide.c_str()) != FALSE;
}

void SysUseCodePage(uint32_t code) { codePage = code; }

uint32_t SysGetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultText,
                                    char* buffer, uint32_t size, const std::string& path) {
    if (codePage != kCodePageUtf8) {
        return GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer, size, path.c_str());
    }
    // The system decodes a rule file that begins with a UTF-8 byte-order
    // mark as UTF-8; its values come back as they stand only through the
    // wide service.
    std::wstring value(32768, L'\0');
    DWORD length = GetPrivateProfileStringW(Wide(section, CP_ACP).c_str(), Wide(key, CP_ACP).c_str(),
                                            Wide(defaultText, CP_UTF8).c_str(), value.data(),
                                            static_cast<DWORD>(value.size()), Wide(path, CP_UTF8).c_str());
    int bytes = WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(length), text.data(), bytes, nullptr, nullptr);
    if (size == 0) return 0;
    size_t copied = std::min<size_t>(text.size(), size - 1);
    text.copy(buffer, copied);
    buffer[copied] = '\0';
    return static_cast<uint32_t>(copied);
}

void SysFlushPrivateProfile(const std::string& path) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

bool SysProfileReadable(const std::string& /*path*/, SysError* /*why*/) { return true; }

int SysCompareString(bool ignoreCase, std::string_view first, std::string_view second) {
    return CompareStringA(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0, first.data(),
                          static_cast<int>(first.size()), second.data(), static_cast<int>(second.size()));
}

void SysCharLowerBuff(char* text, uint32_t length) { CharLowerBuffA(text, length); }

bool SysCompareKey(std::string_view text, std::string& key) {
    // The system's sort key under the same flags: texts that compare equal
    // have equal sort keys. An empty text is given as one that ends at once,
    // as a length of 0 is refused.
    const int length = text.empty() ? -1 : static_cast<int>(text.size());
    const char* bytes = text.empty() ? "" : text.data();
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    int size = LCMapStringA(LOCALE_USER_DEFAULT, flags, bytes, length, nullptr, 0);
    if (size <= 0) return false;
    key.resize(static_cast<size_t>(size));
    size = LCMapStringA(LOCALE_USER_DEFAULT, flags, bytes, length, key.data(), size);
    key.resize(static_cast<size_t>(size > 0 ? size : 0));
    return size > 0;
}

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

bool SysGetCommandLine(std::string& line, std::vector<std::string>& /*arguments*/) {
    if (codePage != kCodePageUtf8) {
        line = GetCommandLineA();
        return false;
    }
    const wchar_t* wide = GetCommandLineW();
    size_t length = std::char_traits<wchar_t>::length(wide);
    line.resize(length * 3);
    line.resize(Utf8Of(wide, length, line.data(), line.size()));
    return false;
}

bool SysIsPathWord(std::string_view /*word*/) { return false; }

bool SysIsRootedName(std::string_view /*name*/) { return false; }

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
    if (size == 0) return 0;
    if (codePage == kCodePageUtf8) {
        // Room of its own, never allocated: the report asks for the name
        // when memory has run out.
        static wchar_t wide[kModulePathRoom];
        DWORD units = GetModuleFileNameW(nullptr, wide, kModulePathRoom);
        if (units >= kModulePathRoom) units = kModulePathRoom - 1;
        size_t length = Utf8Of(wide, units, buffer, size - 1);
        buffer[length] = '\0';
        return static_cast<uint32_t>(length);
    }
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    if (length >= size) length = size - 1;
    buffer[length] = '\0';
    return length;
}

std::string SysTextToUtf8(std::string_view text) {
    if (codePage == kCodePageUtf8) return utf8::Sanitized(text);
    std::wstring wide = Wide(std::string(text), kCodePageShiftJis);
    std::string converted(wide.size() * 3, '\0');
    converted.resize(Utf8Of(wide.data(), wide.size(), converted.data(), converted.size()));
    return converted;
}
