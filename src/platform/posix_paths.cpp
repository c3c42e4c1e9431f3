// Names and errors on Linux: Windows paths as Linux names, errno as Windows
// codes, the program's own file in the form Wine gives it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix_internal.h"

namespace posix {
namespace {

thread_local uint32_t lastError = 0;
// The errno behind the last code made from one, and that code, for the
// user's words.
thread_local int lastErrno = 0;
thread_local uint32_t lastErrnoCode = 0;

// Codes for errno values without a Windows counterpart of their own carry
// this customer bit, so they never pass for a code Windows gives.
constexpr uint32_t kOwnErrorBase = 0x20000000u;

constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorNotSameDevice = 17;
constexpr uint32_t kErrorNotReady = 21;
constexpr uint32_t kErrorGeneralFailure = 31;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDirectoryNotEmpty = 145;
constexpr uint32_t kErrorBusy = 170;
constexpr uint32_t kErrorNameTooLong = 206;
constexpr uint32_t kErrorFileTooLarge = 223;
constexpr uint32_t kErrorCannotResolveName = 1921;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string ParentOf(const std::string& native) {
    size_t slash = native.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return native.substr(0, slash);
}

}  // namespace

void SetLastError(uint32_t code) { lastError = code; }

namespace {

// The errno that stands for a code when no call of this thread left one
// behind it (a read-only file refused by the program itself, a lock).
int ErrnoForCode(uint32_t code) {
    switch (code) {
        case kErrorFileNotFound:
        case kErrorPathNotFound: return ENOENT;
        case kErrorTooManyOpenFiles: return EMFILE;
        case kErrorAccessDenied: return EACCES;
        case kErrorInvalidHandle: return EBADF;
        case kErrorWriteFault:
        case kErrorReadFault:
        case kErrorGeneralFailure: return EIO;
        case kErrorSharingViolation: return EBUSY;
        case kErrorDiskFull: return ENOSPC;
        case kErrorNoData:
        case kErrorBrokenPipe: return EPIPE;
        case kErrorAlreadyExists: return EEXIST;
        case kErrorNameTooLong: return ENAMETOOLONG;
        case kErrorOperationAborted: return EINTR;
        default: return (code & kOwnErrorBase) != 0 ? static_cast<int>(code & ~kOwnErrorBase) : 0;
    }
}

uint32_t CodeForErrno(int error, const std::string& native) {
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
        case EAGAIN:
        case ETXTBSY: return kErrorSharingViolation;  // a running program is a file in use
        case EEXIST: return kErrorAlreadyExists;
        case EBADF: return kErrorInvalidHandle;
        case EINVAL:
        case ESPIPE: return kErrorInvalidParameter;
        case ENAMETOOLONG: return kErrorNameTooLong;
        case ENOTEMPTY: return kErrorDirectoryNotEmpty;
        case EXDEV: return kErrorNotSameDevice;
        case EIO: return kErrorGeneralFailure;
        case ENOMEM: return kErrorNotEnoughMemory;
        case ELOOP: return kErrorCannotResolveName;
        case EFBIG: return kErrorFileTooLarge;
        case EBUSY: return kErrorBusy;
        case ENXIO:
        case ENODEV: return kErrorNotReady;
        case EINTR: return kErrorOperationAborted;
        default: return kOwnErrorBase | static_cast<uint32_t>(error);
    }
}

}  // namespace

uint32_t ErrorFromErrno(int error, const std::string& native) {
    uint32_t code = CodeForErrno(error, native);
    lastErrno = error;
    lastErrnoCode = code;
    return code;
}

bool FailFromErrno(const std::string& native) {
    SetLastError(ErrorFromErrno(errno, native));
    return false;
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

const std::string* ToNative(const std::string& name) {
    const std::string& native = NativePath(name);
    if (!native.empty()) return &native;
    SetLastError(kErrorPathNotFound);
    return nullptr;
}

}  // namespace posix

uint32_t SysLastError() { return posix::lastError; }

std::string SysErrorText(uint32_t code) {
    int error = posix::lastErrno != 0 && posix::lastErrnoCode == code ? posix::lastErrno : posix::ErrnoForCode(code);
    return error != 0 ? std::strerror(error) : std::string();
}

void SysWriteDiagnostic(std::string_view text) {
    size_t written = 0;
    posix::WriteFully(STDERR_FILENO, text.data(), text.size(), &written);
}

std::string SysCurrentFolder() {
    std::string folder(256, '\0');
    while (getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) return "./";
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string SysShownName(const std::string& name) { return posix::NativePath(name); }

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
    // "Z:" and the absolute path with backslashes: the name Wine gives the
    // Windows program, so both programs see the same names. Linux paths can
    // be longer than any fixed room: the link is read into the caller's own.
    constexpr std::string_view kDrive = "Z:";
    if (size <= kDrive.size()) {
        posix::SetLastError(kErrorInsufficientBuffer);
        if (size > 0) buffer[0] = '\0';
        return 0;
    }
    char* path = buffer + kDrive.size();
    size_t room = size - kDrive.size() - 1;
    ssize_t length = readlink("/proc/self/exe", path, room);
    if (length <= 0) {
        // No /proc (a bare mount namespace, a chroot): the file found from
        // the name the program was started by.
        const std::string& found = posix::ProgramFromName();
        length = static_cast<ssize_t>(found.copy(path, room));
    }
    if (length <= 0) {
        posix::SetLastError(kErrorFileNotFound);
        buffer[0] = '\0';
        return 0;
    }
    kDrive.copy(buffer, kDrive.size());
    for (ssize_t i = 0; i < length; ++i) path[i] = path[i] == '/' ? '\\' : path[i];
    path[length] = '\0';
    return static_cast<uint32_t>(kDrive.size()) + static_cast<uint32_t>(length);
}

bool SysIsRootedName(std::string_view name) { return !name.empty() && name[0] == '/'; }

bool SysIsPathWord(std::string_view word) {
    // "/data/in.csv" is a file, while "/v", "/verbose" and "/o/c" stay options:
    // a word is a path when it starts with "/", holds a second one, and
    // names something that is there.
    if (word.size() < 2 || word[0] != '/' || word.find('/', 1) == std::string_view::npos) return false;
    std::string name(word);
    struct stat info;
    return stat(name.c_str(), &info) == 0;
}
