// Names and errors on Linux: Windows paths as Linux names, names converted
// between the run's code page and the system's UTF-8, errno as Windows
// codes, the program's own file in the form Wine gives it.
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix_internal.h"
#include "platform/utf8.h"

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

namespace {

// Stands for a character that a name from the system cannot have in code
// page 932: a byte that is no character there and converts to nothing.
constexpr char kUnconvertible = '\xFF';

iconv_t toSystem = reinterpret_cast<iconv_t>(-1);
iconv_t fromSystem = reinterpret_cast<iconv_t>(-1);

iconv_t Converter(iconv_t& converter, const char* to, const char* from) {
    if (converter == reinterpret_cast<iconv_t>(-1)) converter = iconv_open(to, from);
    return converter;
}

bool IsPlain(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

void StartNames() {
    Converter(toSystem, "UTF-8", TextCharset());
    Converter(fromSystem, TextCharset(), "UTF-8");
}

bool NameToSystem(std::string_view name, std::string& system) {
    system.assign(name);
    if (TextCharset() == nullptr || IsPlain(name)) return true;
    iconv_t converter = Converter(toSystem, "UTF-8", TextCharset());
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    // A character of code page 932 takes at most three bytes of UTF-8.
    system.resize(name.size() * 3);
    char* in = const_cast<char*>(name.data());
    size_t left = name.size();
    char* out = system.data();
    size_t room = system.size();
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &in, &left, &out, &room) == static_cast<size_t>(-1)) return false;
    system.resize(system.size() - room);
    return true;
}

size_t NameFromSystem(std::string_view system, char* name, size_t room) {
    if (TextCharset() == nullptr || IsPlain(system)) {
        size_t size = std::min(system.size(), room);
        system.copy(name, size);
        return size;
    }
    iconv_t converter = Converter(fromSystem, TextCharset(), "UTF-8");
    size_t written = 0;
    for (size_t at = 0; at < system.size();) {
        size_t length = utf8::SequenceLength(system, at);
        char unit[2];
        char* in = const_cast<char*>(system.data() + at);
        size_t left = length;
        char* out = unit;
        size_t free = sizeof unit;
        bool converted = converter != reinterpret_cast<iconv_t>(-1) &&
                         iconv(converter, &in, &left, &out, &free) != static_cast<size_t>(-1);
        size_t bytes = converted ? sizeof unit - free : 1;
        if (!converted) unit[0] = kUnconvertible;
        if (written + bytes > room) break;
        std::copy(unit, unit + bytes, name + written);
        written += bytes;
        at += length;
    }
    return written;
}

std::string_view NameFromSystem(std::string_view system, std::string& name) {
    if (TextCharset() == nullptr || IsPlain(system)) return system;
    // No character of code page 932 is longer than its UTF-8 form.
    name.resize(system.size());
    name.resize(NameFromSystem(system, name.data(), name.size()));
    return name;
}

const std::string* ToNative(const std::string& name, bool pattern) {
    // Buffers per thread: opening a file allocates nothing once warm.
    thread_local std::string native;
    thread_local std::string converted;
    native.clear();
    std::string_view whole(name.c_str());  // a zero byte ends a name
    // A network name ("\\server\share") names no Linux file: taken as a
    // rooted name it would reach "/server/share". The Windows program under
    // Wine, with no network, finds no such path either.
    if (whole.size() >= 2 && whole[0] == '\\' && IsSeparator(whole[1])) {
        SetLastError(kErrorPathNotFound);
        return nullptr;
    }
    size_t i = 0;
    if (whole.size() >= 2 && IsDriveLetter(whole[0]) && whole[1] == ':') {
        i = 2;
        if (whole.size() >= 3 && IsSeparator(whole[2])) {
            native = "/";
            i = 3;
        }
    } else if (!whole.empty() && IsSeparator(whole[0])) {
        native = "/";
        i = 1;
    }
    // Backslashes become slashes, except a byte of a character of the code
    // page (in code page 932 a second byte may be 0x5C).
    size_t at = native.size();
    native.append(whole, i);
    char* bytes = native.data();
    const size_t size = native.size();
    bool plain = true;
    while (at < size) {
        unsigned char c = static_cast<unsigned char>(bytes[at]);
        if (c < 0x80) {
            if (c == '\\') bytes[at] = '/';
            ++at;
            continue;
        }
        plain = false;
        NextChar(native, at);
    }
    // "*" and "?" are no characters of a Windows name: they match others,
    // in the last part of a search only. Neither is ever a byte of a
    // double-byte character, nor is "/".
    size_t wildcard = native.find_first_of("*?");
    if (wildcard != std::string::npos && (!pattern || native.find('/', wildcard) != std::string::npos)) {
        SetLastError(kErrorInvalidName);
        return nullptr;
    }
    if (native.empty() && whole.size() >= 2) native = ".";  // "X:" alone: the current directory
    if (native.empty()) {
        SetLastError(kErrorPathNotFound);
        return nullptr;
    }
    if (plain || TextCharset() == nullptr) return &native;
    if (!NameToSystem(native, converted)) {
        SetLastError(kErrorInvalidName);
        return nullptr;
    }
    return &converted;
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
    std::string name;
    return std::string(posix::NameFromSystem(folder, name));
}

std::string SysShownName(const std::string& name) {
    const std::string* native = posix::ToNative(name);
    return native != nullptr ? *native : name;
}

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
    // "Z:" and the absolute path with backslashes: the name Wine gives the
    // Windows program, so both programs see the same names. Linux paths can
    // be longer than any fixed room: the link is read into room of its own,
    // never allocated, and converted into the caller's.
    constexpr std::string_view kDrive = "Z:";
    if (size <= kDrive.size()) {
        posix::SetLastError(kErrorInsufficientBuffer);
        if (size > 0) buffer[0] = '\0';
        return 0;
    }
    static char link[kModulePathRoom];
    ssize_t length = readlink("/proc/self/exe", link, sizeof link);
    if (length <= 0) {
        // No /proc (a bare mount namespace, a chroot): the file found from
        // the name the program was started by.
        const std::string& found = posix::ProgramFromName();
        length = static_cast<ssize_t>(found.copy(link, sizeof link));
    }
    if (length <= 0) {
        posix::SetLastError(kErrorFileNotFound);
        buffer[0] = '\0';
        return 0;
    }
    for (ssize_t i = 0; i < length; ++i) link[i] = link[i] == '/' ? '\\' : link[i];
    kDrive.copy(buffer, kDrive.size());
    size_t room = size - kDrive.size() - 1;
    size_t converted = posix::NameFromSystem(std::string_view(link, static_cast<size_t>(length)),
                                             buffer + kDrive.size(), room);
    buffer[kDrive.size() + converted] = '\0';
    return static_cast<uint32_t>(kDrive.size() + converted);
}

bool SysIsRootedName(std::string_view name) { return !name.empty() && name[0] == '/'; }

bool SysIsPathWord(std::string_view word) {
    // "/data/in.csv" is a file, while "/v", "/verbose" and "/o/c" stay options:
    // a word is a path when it starts with "/", holds a second one, and
    // names something that is there.
    if (word.size() < 2 || word[0] != '/' || word.find('/', 1) == std::string_view::npos) return false;
    std::string name;
    struct stat info;
    return posix::NameToSystem(word, name) && stat(name.c_str(), &info) == 0;
}
