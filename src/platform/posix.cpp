// The Linux backend: reproduces what the program relies on from each Windows
// service. Paths are Windows paths; errors are Windows codes; opening a file
// honours Windows share modes, in this process by a table of open handles
// and across processes by open-file-description locks.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "platform/platform.h"
#include "platform/posix_internal.h"

namespace posix {
namespace {

thread_local uint32_t lastError = 0;

// Codes for errno values without a Windows counterpart of their own carry
// this customer bit, so they never pass for a code Windows gives.
constexpr uint32_t kOwnErrorBase = 0x20000000u;

constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorNameTooLong = 206;
constexpr uint32_t kErrorDirectoryNotEmpty = 145;
constexpr uint32_t kErrorNotSameDevice = 17;

// 100-nanosecond steps between 1601-01-01 and 1970-01-01.
constexpr uint64_t kUnixEpochInFileTime = 116444736000000000ull;
constexpr uint64_t kFileTimeStepsPerSecond = 10000000ull;

struct OpenHandle {
    int fd;
    dev_t device;
    ino_t inode;
    mode_t mode;  // the type of a file never changes while it is open
    uint32_t access;
    uint32_t shareMode;
    // The size seen when the handle was opened, under its lock; it stands
    // until this process writes to any file.
    uint64_t sizeAtOpen;
    uint64_t writesAtOpen;
};

// Write calls made by this process so far.
std::atomic<uint64_t> writeCount{0};

std::mutex handlesLock;
std::vector<OpenHandle> openHandles;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string ParentOf(const std::string& native) {
    size_t slash = native.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return native.substr(0, slash);
}

bool HasWriteBit(const struct stat& info) {
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Another process holds the file through a handle that excludes `access`.
bool LockedElsewhere(int fd, short lockType) {
    struct flock probe = {};
    probe.l_type = lockType;
    probe.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
    return probe.l_type != F_UNLCK;
}

bool ShareConflict(const OpenHandle& held, uint32_t access, uint32_t shareMode) {
    if ((held.access & kGenericRead) && !(shareMode & kShareRead)) return true;
    if ((held.access & kGenericWrite) && !(shareMode & kShareWrite)) return true;
    if ((access & kGenericRead) && !(held.shareMode & kShareRead)) return true;
    if ((access & kGenericWrite) && !(held.shareMode & kShareWrite)) return true;
    return false;
}

// A copy of this process's entry for the handle, if it has one.
bool FindHeld(SysHandle file, OpenHandle* entry) {
    std::lock_guard<std::mutex> guard(handlesLock);
    for (const OpenHandle& held : openHandles) {
        if (held.fd == file) {
            *entry = held;
            return true;
        }
    }
    return false;
}

bool OpenHereOn(const struct stat& info) {
    std::lock_guard<std::mutex> guard(handlesLock);
    return std::any_of(openHandles.begin(), openHandles.end(), [&](const OpenHandle& held) {
        return held.device == info.st_dev && held.inode == info.st_ino;
    });
}

// A bare "*.*" matches every name, as on Windows.
bool MatchPattern(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*") pattern = "*";
    size_t p = 0;
    size_t n = 0;
    size_t starP = std::string_view::npos;
    size_t starN = 0;
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : c; };
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
            continue;
        }
        if (p < pattern.size()) {
            size_t pNext = p;
            size_t nNext = n;
            uint32_t want = NextChar(pattern, pNext);
            uint32_t have = NextChar(name, nNext);
            if (want == '?' || lower(static_cast<unsigned char>(want)) == lower(static_cast<unsigned char>(have)) ||
                (want > 0xFF && want == have)) {
                p = pNext;
                n = nNext;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        p = starP + 1;
        NextChar(name, starN);
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// Names in the order a search yields them: "." and ".." first, then by
// letters ignoring ASCII case, then by bytes.
bool SearchOrder(const std::string& a, const std::string& b) {
    auto rank = [](const std::string& s) { return s == "." ? 0 : s == ".." ? 1 : 2; };
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : c; };
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        unsigned char x = lower(static_cast<unsigned char>(a[i]));
        unsigned char y = lower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

uint64_t FileTimeOf(const struct timespec& time) {
    int64_t steps = static_cast<int64_t>(time.tv_sec) * static_cast<int64_t>(kFileTimeStepsPerSecond) +
                    time.tv_nsec / 100;
    return static_cast<uint64_t>(steps + static_cast<int64_t>(kUnixEpochInFileTime));
}

void FillFindData(const struct stat& info, SysFindData* found) {
    found->attributes = S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeNormal;
    if (!S_ISDIR(info.st_mode) && !HasWriteBit(info)) found->attributes |= 1;  // read-only
    found->lastWriteTime = FileTimeOf(info.st_mtim);
}

}  // namespace

void SetLastError(uint32_t code) { lastError = code; }

uint32_t ErrorFromErrno(int error, const std::string& native) {
    switch (error) {
        case ENOENT: {
            struct stat parent;
            std::string dir = ParentOf(native);
            if (stat(dir.c_str(), &parent) != 0 || !S_ISDIR(parent.st_mode)) return kErrorPathNotFound;
            return kErrorFileNotFound;
        }
        case ENOTDIR: return kErrorPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return kErrorAccessDenied;
        case EMFILE:
        case ENFILE: return kErrorTooManyOpenFiles;
        case ENOSPC:
        case EDQUOT: return kErrorDiskFull;
        case EPIPE: return kErrorNoData;
        case EAGAIN: return kErrorSharingViolation;
        case EEXIST: return kErrorAlreadyExists;
        case EBADF: return kErrorInvalidHandle;
        case EINVAL:
        case ESPIPE: return kErrorInvalidParameter;
        case ENAMETOOLONG: return kErrorNameTooLong;
        case ENOTEMPTY: return kErrorDirectoryNotEmpty;
        case EXDEV: return kErrorNotSameDevice;
        default: return kOwnErrorBase | static_cast<uint32_t>(error);
    }
}

const std::string& NativePath(const std::string& name) {
    // One buffer per thread: opening a file allocates nothing once warm.
    thread_local std::string native;
    native.clear();
    size_t i = 0;
    if (name.size() >= 2 && IsDriveLetter(name[0]) && name[1] == ':') {
        i = 2;
        if (name.size() >= 3 && IsSeparator(name[2])) {
            native = "/";
            i = 3;
        }
    } else if (!name.empty() && IsSeparator(name[0])) {
        native = "/";
        i = 1;
    }
    // Backslashes become slashes, except the second byte of a double-byte
    // character.
    size_t at = native.size();
    native.append(name, i);
    char* bytes = native.data();
    const size_t size = native.size();
    // Up to the first byte of 0x80 or more, no byte is a second byte.
    size_t plain = at;
    while (plain < size && static_cast<unsigned char>(bytes[plain]) < 0x80) ++plain;
    for (; at < plain; ++at) bytes[at] = bytes[at] == '\\' ? '/' : bytes[at];
    while (at < size) {
        unsigned char c = static_cast<unsigned char>(bytes[at]);
        if (IsLeadByte(c)) {
            at += 2;
            continue;
        }
        if (c == '\\') bytes[at] = '/';
        ++at;
    }
    if (native.empty() && name.size() >= 2) native = ".";  // "X:" alone: the current directory
    return native;
}

// The Linux name of a Windows path; an empty one names nothing, as on
// Windows, where it is a path not found.
const std::string* ToNative(const std::string& name) {
    const std::string& native = NativePath(name);
    if (!native.empty()) return &native;
    SetLastError(kErrorPathNotFound);
    return nullptr;
}

struct CivilDate {
    int64_t year;
    int64_t month;  // 1 to 12
    int64_t day;    // 1 to 31
};

CivilDate CivilDateOf(int64_t days) {
    // Days since 1970-01-01 to a date of the proleptic Gregorian calendar,
    // counted in eras of 400 years from 0000-03-01.
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 for March
    CivilDate date;
    date.day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    date.month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

time_t UnixSecondsOf(uint64_t fileTime) {
    return static_cast<time_t>((static_cast<int64_t>(fileTime) - static_cast<int64_t>(kUnixEpochInFileTime)) /
                               static_cast<int64_t>(kFileTimeStepsPerSecond));
}

}  // namespace posix

using posix::ErrorFromErrno;
using posix::NativePath;
using posix::SetLastError;

SysHandle SysCreateFile(const std::string& name, uint32_t access, uint32_t shareMode,
                        uint32_t disposition, uint32_t /*attributes*/) {
    const std::string* nativeName = posix::ToNative(name);
    if (nativeName == nullptr) return kInvalidHandle;
    const std::string& native = *nativeName;
    int flags = O_CLOEXEC | O_NOCTTY;
    if ((access & kGenericRead) && (access & kGenericWrite)) {
        flags |= O_RDWR;
    } else if (access & kGenericWrite) {
        flags |= O_WRONLY;
    } else {
        flags |= O_RDONLY;
    }
    // A directory opened for writing fails here with EISDIR, a read-only file
    // with EACCES, except for root: both are also checked after the open. A
    // file that this call makes is new, whatever write bits the mask leaves
    // it; one that was there is emptied only once every check has passed.
    bool existed = true;
    if (disposition == kCreateAlways) {
        struct stat before;
        existed = stat(native.c_str(), &before) == 0;
        flags |= O_CREAT;
    }
    int fd = open(native.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno, native));
        return kInvalidHandle;
    }
    // The lock comes before the one look at the file, so that the size seen
    // is the size under the lock: a run appending elsewhere can no longer
    // move the end once this look is taken.
    short lockType = F_UNLCK;
    if (access & kGenericWrite) {
        lockType = F_WRLCK;
    } else if (!(shareMode & kShareWrite)) {
        lockType = F_RDLCK;
    }
    bool lockTaken = false;
    bool lockRefused = false;
    if (lockType != F_UNLCK) {
        struct flock lock = {};
        lock.l_type = lockType;
        lock.l_whence = SEEK_SET;
        lockTaken = fcntl(fd, F_OFD_SETLK, &lock) == 0;
        lockRefused = !lockTaken && (errno == EAGAIN || errno == EACCES);
    }
    struct stat info;
    uint32_t refusal = 0;
    uint64_t writesBefore = posix::writeCount.load();
    if (fstat(fd, &info) != 0) {
        refusal = ErrorFromErrno(errno, native);
    } else if (S_ISDIR(info.st_mode)) {
        refusal = kErrorAccessDenied;
    } else if (existed && (access & kGenericWrite) && !posix::HasWriteBit(info)) {
        refusal = kErrorAccessDenied;  // read-only, for root too
    } else if (S_ISREG(info.st_mode) && lockRefused) {
        refusal = kErrorSharingViolation;
    }
    // The table is held from the share check until the handle is in it.
    std::unique_lock<std::mutex> guard(posix::handlesLock);
    if (refusal == 0) {
        for (const posix::OpenHandle& held : posix::openHandles) {
            if (held.device == info.st_dev && held.inode == info.st_ino &&
                posix::ShareConflict(held, access, shareMode)) {
                refusal = kErrorSharingViolation;
                break;
            }
        }
    }
    if (refusal == 0 && disposition == kCreateAlways && S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0) {
        refusal = ErrorFromErrno(errno, native);
    }
    if (refusal != 0) {
        guard.unlock();
        close(fd);
        SetLastError(refusal);
        return kInvalidHandle;
    }
    if (lockTaken && !S_ISREG(info.st_mode)) {
        // Only regular files are locked: devices and pipes are shared freely.
        struct flock unlock = {};
        unlock.l_type = F_UNLCK;
        unlock.l_whence = SEEK_SET;
        fcntl(fd, F_OFD_SETLK, &unlock);
    }
    // A file emptied above has no bytes, whatever the look before said.
    uint64_t size = S_ISREG(info.st_mode) && disposition != kCreateAlways ? static_cast<uint64_t>(info.st_size) : 0;
    posix::openHandles.push_back({fd, info.st_dev, info.st_ino, info.st_mode, access, shareMode, size, writesBefore});
    return fd;
}

bool SysReadFile(SysHandle file, void* buffer, uint32_t size, uint32_t* delivered) {
    ssize_t count;
    do {
        count = read(static_cast<int>(file), buffer, size);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        *delivered = 0;
        SetLastError(ErrorFromErrno(errno, ""));
        return false;
    }
    *delivered = static_cast<uint32_t>(count);
    return true;
}

bool SysWriteFile(SysHandle file, const void* bytes, uint32_t size, uint32_t* written) {
    posix::writeCount.fetch_add(1);
    const char* next = static_cast<const char*>(bytes);
    uint32_t done = 0;
    while (done < size) {
        ssize_t count = write(static_cast<int>(file), next + done, size - done);
        if (count < 0) {
            if (errno == EINTR) continue;
            *written = done;
            SetLastError(ErrorFromErrno(errno, ""));
            return false;
        }
        done += static_cast<uint32_t>(count);
    }
    *written = done;
    return true;
}

bool SysGetFileSize(SysHandle file, uint64_t* size) {
    posix::OpenHandle held;
    if (posix::FindHeld(file, &held) && held.writesAtOpen == posix::writeCount.load()) {
        *size = held.sizeAtOpen;
        return true;
    }
    struct stat info;
    if (fstat(static_cast<int>(file), &info) != 0) {
        SetLastError(ErrorFromErrno(errno, ""));
        return false;
    }
    *size = S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
    return true;
}

bool SysSetFilePointer(SysHandle file, uint64_t position) {
    if (lseek(static_cast<int>(file), static_cast<off_t>(position), SEEK_SET) < 0) {
        SetLastError(ErrorFromErrno(errno, ""));
        return false;
    }
    return true;
}

SysFileType SysGetFileType(SysHandle file) {
    posix::OpenHandle held;
    mode_t mode = 0;
    if (posix::FindHeld(file, &held)) {
        mode = held.mode;
    } else {
        struct stat info;
        if (fstat(static_cast<int>(file), &info) != 0) {
            SetLastError(kErrorInvalidHandle);
            return SysFileType::Unknown;
        }
        mode = info.st_mode;
    }
    if (S_ISCHR(mode)) return SysFileType::Char;
    if (S_ISFIFO(mode) || S_ISSOCK(mode)) return SysFileType::Pipe;
    return SysFileType::Disk;
}

SysHandle SysGetStdOutput() { return STDOUT_FILENO; }

bool SysCloseHandle(SysHandle file) {
    {
        std::lock_guard<std::mutex> guard(posix::handlesLock);
        auto& handles = posix::openHandles;
        handles.erase(std::remove_if(handles.begin(), handles.end(),
                                     [&](const posix::OpenHandle& h) { return h.fd == file; }),
                      handles.end());
    }
    if (close(static_cast<int>(file)) != 0 && errno != EINTR) {
        SetLastError(ErrorFromErrno(errno, ""));
        return false;
    }
    return true;
}

uint32_t SysLastError() { return posix::lastError; }

namespace {
// Searches keep nothing open: the first entry is found at once.
constexpr SysHandle kFinishedSearch = 0x7FFF0000;
}  // namespace

SysHandle SysFindFirstFile(const std::string& path, SysFindData* found) {
    const std::string* nativeName = posix::ToNative(path);
    if (nativeName == nullptr) return kInvalidHandle;
    const std::string& native = *nativeName;
    size_t slash = native.find_last_of('/');
    std::string_view last = slash == std::string::npos ? std::string_view(native)
                                                       : std::string_view(native).substr(slash + 1);
    struct stat info;
    if (last.find_first_of("*?") == std::string_view::npos) {
        if (stat(native.c_str(), &info) != 0) {
            SetLastError(ErrorFromErrno(errno, native));
            return kInvalidHandle;
        }
        posix::FillFindData(info, found);
        return kFinishedSearch;
    }
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);
    DIR* listing = opendir(dir.c_str());
    if (listing == nullptr) {
        SetLastError(errno == ENOENT ? kErrorPathNotFound : ErrorFromErrno(errno, dir));
        return kInvalidHandle;
    }
    std::vector<std::string> matches;
    while (struct dirent* entry = readdir(listing)) {
        if (posix::MatchPattern(last, entry->d_name)) matches.emplace_back(entry->d_name);
    }
    closedir(listing);
    std::sort(matches.begin(), matches.end(), posix::SearchOrder);
    for (const std::string& name : matches) {
        std::string full = (dir == "/" ? "" : dir) + "/" + name;
        if (stat(full.c_str(), &info) == 0) {
            posix::FillFindData(info, found);
            return kFinishedSearch;
        }
    }
    SetLastError(kErrorFileNotFound);
    return kInvalidHandle;
}

bool SysFindClose(SysHandle search) {
    if (search != kFinishedSearch) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    return true;
}

bool SysFileTimeToLocalFileTime(uint64_t fileTime, uint64_t* localTime) {
    // The files of one run mostly bear times of the same few seconds: the
    // offset of the last second asked for is kept.
    thread_local time_t lastSeconds = 0;
    thread_local long lastOffset = 0;
    thread_local bool lastKnown = false;
    time_t seconds = posix::UnixSecondsOf(fileTime);
    if (!lastKnown || seconds != lastSeconds) {
        struct tm local;
        if (localtime_r(&seconds, &local) == nullptr) {
            SetLastError(posix::kErrorInvalidParameter);
            return false;
        }
        lastSeconds = seconds;
        lastOffset = local.tm_gmtoff;
        lastKnown = true;
    }
    *localTime = fileTime + static_cast<uint64_t>(static_cast<int64_t>(lastOffset) *
                                                  static_cast<int64_t>(posix::kFileTimeStepsPerSecond));
    return true;
}

bool SysFileTimeToDosDateTime(uint64_t fileTime, uint16_t* dosDate, uint16_t* dosTime) {
    int64_t seconds = static_cast<int64_t>(posix::UnixSecondsOf(fileTime));
    int64_t days = seconds / 86400;
    int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    posix::CivilDate date = posix::CivilDateOf(days);
    if (date.year < 1980 || date.year > 2107) {
        SetLastError(posix::kErrorInvalidParameter);
        return false;
    }
    int64_t hour = secondOfDay / 3600;
    int64_t minute = secondOfDay / 60 % 60;
    int64_t second = secondOfDay % 60;
    *dosDate = static_cast<uint16_t>(((date.year - 1980) << 9) | (date.month << 5) | date.day);
    *dosTime = static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
    return true;
}

uint32_t SysGetFileAttributes(const std::string& path) {
    const std::string* nativeName = posix::ToNative(path);
    if (nativeName == nullptr) return kInvalidAttributes;
    const std::string& native = *nativeName;
    struct stat info;
    if (stat(native.c_str(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno, native));
        return kInvalidAttributes;
    }
    SysFindData data;
    posix::FillFindData(info, &data);
    return data.attributes;
}

bool SysCreateDirectory(const std::string& path) {
    const std::string* nativeName = posix::ToNative(path);
    if (nativeName == nullptr) return false;
    const std::string& native = *nativeName;
    if (mkdir(native.c_str(), 0777) != 0) {
        SetLastError(ErrorFromErrno(errno, native));
        return false;
    }
    return true;
}

bool SysDeleteFile(const std::string& path) {
    const std::string* nativeName = posix::ToNative(path);
    if (nativeName == nullptr) return false;
    const std::string& native = *nativeName;
    struct stat info;
    if (lstat(native.c_str(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno, native));
        return false;
    }
    if (S_ISDIR(info.st_mode) || (!S_ISLNK(info.st_mode) && !posix::HasWriteBit(info))) {
        SetLastError(kErrorAccessDenied);
        return false;
    }
    // No handle of ours shares deleting, so an open file stays.
    bool inUse = posix::OpenHereOn(info);
    if (!inUse && S_ISREG(info.st_mode)) {
        int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd >= 0) {
            inUse = posix::LockedElsewhere(fd, F_WRLCK);
            close(fd);
        }
    }
    if (inUse) {
        SetLastError(kErrorSharingViolation);
        return false;
    }
    if (unlink(native.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno, native));
        return false;
    }
    return true;
}

std::string SysGetCommandLine() {
    std::ifstream source("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    std::string line;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        std::string argument;
        bool needsQuotes = end == start;
        for (size_t i = start; i < end; ++i) {
            unsigned char c = static_cast<unsigned char>(raw[i]);
            if (c == '"') continue;
            if (c <= 0x20) needsQuotes = true;
            argument += static_cast<char>(c);
        }
        if (!line.empty()) line += ' ';
        line += needsQuotes ? "\"" + argument + "\"" : argument;
        start = end + 1;
    }
    return line;
}

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
    // "Z:" and the absolute path with backslashes: the name Wine gives the
    // Windows program, so both programs see the same names.
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || size < 3) {
        SetLastError(kErrorFileNotFound);
        if (size > 0) buffer[0] = '\0';
        return 0;
    }
    uint32_t out = 0;
    const char drive[] = "Z:";
    for (const char* c = drive; *c != '\0' && out + 1 < size; ++c) buffer[out++] = *c;
    for (ssize_t i = 0; i < length && out + 1 < size; ++i) buffer[out++] = path[i] == '/' ? '\\' : path[i];
    buffer[out] = '\0';
    return out;
}

void SysStartProcess() {
    // A closed pipe is then a write error, not a silent death.
    signal(SIGPIPE, SIG_IGN);
}

void SysExitProcess(uint32_t status) { _exit(static_cast<int>(status)); }
