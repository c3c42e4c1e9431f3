// Handles on Linux: opening with Windows access, share modes and
// dispositions; reading, writing, sizes and types.
//
// Share modes hold in this process by a table of open handles, and across
// processes by locks (posix_locks.cpp). Every write goes to the end of the
// file, so bytes that another process appended are never written over.
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "platform/posix_internal.h"

namespace posix {
namespace {

struct OpenHandle {
    bool held = false;
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
uint64_t writeCount = 0;

// The handles this process holds, by descriptor, and the descriptors of
// each file held (a run holds a thousand destinations at once: neither an
// open nor a close looks at the others).
struct FileKey {
    dev_t device;
    ino_t inode;
    bool operator==(const FileKey&) const = default;
};
struct FileKeyHash {
    size_t operator()(const FileKey& key) const {
        return std::hash<uint64_t>()(static_cast<uint64_t>(key.inode) * 0x9E3779B97F4A7C15u ^
                                     static_cast<uint64_t>(key.device));
    }
};
std::vector<OpenHandle> openHandles;
std::unordered_multimap<FileKey, int, FileKeyHash> handlesOnFile;

FileKey KeyOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

void Release(int fd);

void Hold(int fd, const OpenHandle& entry) {
    Release(fd);
    if (static_cast<size_t>(fd) >= openHandles.size()) openHandles.resize(static_cast<size_t>(fd) + 1);
    openHandles[static_cast<size_t>(fd)] = entry;
    openHandles[static_cast<size_t>(fd)].held = true;
    handlesOnFile.emplace(FileKey{entry.device, entry.inode}, fd);
}

void Release(int fd) {
    if (fd < 0 || static_cast<size_t>(fd) >= openHandles.size()) return;
    OpenHandle& entry = openHandles[static_cast<size_t>(fd)];
    if (!entry.held) return;
    entry.held = false;
    auto [first, last] = handlesOnFile.equal_range(FileKey{entry.device, entry.inode});
    for (auto it = first; it != last; ++it) {
        if (it->second == fd) {
            handlesOnFile.erase(it);
            break;
        }
    }
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
    if (file < 0 || static_cast<size_t>(file) >= openHandles.size()) return false;
    const OpenHandle& held = openHandles[static_cast<size_t>(file)];
    if (!held.held) return false;
    *entry = held;
    return true;
}

int OpenFlags(uint32_t access) {
    int flags = O_CLOEXEC | O_NOCTTY;
    if ((access & kGenericRead) && (access & kGenericWrite)) return flags | O_RDWR | O_APPEND;
    if (access & kGenericWrite) return flags | O_WRONLY | O_APPEND;
    return flags | O_RDONLY;
}

// Opens the name as the disposition says; `created` tells whether this call
// made the file. "Open always" makes a missing file without ever emptying
// one that another process made a moment before; a name just seen `absent`
// is made first.
int OpenByDisposition(const std::string& native, int flags, uint32_t disposition, bool absent, bool* created) {
    *created = false;
    switch (disposition) {
        case kOpenAlways:
            for (int attempt = 0; attempt < 4; ++attempt) {
                if (!absent || attempt > 0) {
                    int fd = open(native.c_str(), flags, 0666);
                    if (fd >= 0 || errno != ENOENT) return fd;
                }
                int fd = open(native.c_str(), flags | O_CREAT | O_EXCL, 0666);
                if (fd >= 0 || errno != EEXIST) {
                    *created = fd >= 0;
                    return fd;
                }
            }
            return -1;
        default: return open(native.c_str(), flags);
    }
}

// Why a name may not be opened at all, or nothing. Only regular files are
// written: a device, FIFO or socket is refused before an open could act on
// it (a block device would be written over in place). A file that another
// process has open for writing is refused to a writer, and to a reader that
// denies writers (the input: a half-written line must not pass as a line).
// `absent`: the look found no file by the name.
Refused RefusalBeforeOpen(const std::string& native, uint32_t access, uint32_t shareMode, bool* absent) {
    *absent = false;
    bool writing = (access & kGenericWrite) != 0;
    if (!writing && (shareMode & kShareWrite)) return {};
    struct stat info;
    if (stat(native.c_str(), &info) != 0) {  // absent: the open decides
        *absent = errno == ENOENT;
        return {};
    }
    if (writing && !S_ISREG(info.st_mode)) return NotRegularRefusal(info);
    if (OpenForWritingElsewhere(native, info)) return {kErrorSharingViolation, kWordsWrittenElsewhere};
    return {};
}

// Why an open file may not be handed out, or nothing: a directory, anything
// but a regular file opened for writing (one that took the name since the
// look before the open), a read-only file opened for writing (for root
// too), a lock or a handle of this process that the share modes exclude.
// The table is held by the caller.
Refused Refusal(const struct stat& info, uint32_t access, uint32_t shareMode, bool created, bool locked) {
    bool writing = (access & kGenericWrite) != 0;
    if (S_ISDIR(info.st_mode) || (writing && !S_ISREG(info.st_mode))) return NotRegularRefusal(info);
    if (!created && writing && !HasWriteBit(info)) return {kErrorAccessDenied, kWordsReadOnly};
    if (S_ISREG(info.st_mode) && !locked) return {kErrorSharingViolation, kWordsLocked};
    auto [first, last] = handlesOnFile.equal_range(KeyOf(info));
    for (auto it = first; it != last; ++it) {
        if (ShareConflict(openHandles[static_cast<size_t>(it->second)], access, shareMode)) {
            return {kErrorSharingViolation, kWordsOpenHere};
        }
    }
    return {};
}

}  // namespace

bool OpenHereOn(const struct stat& info) { return handlesOnFile.count(KeyOf(info)) != 0; }

}  // namespace posix

SysHandle SysCreateFile(const std::string& name, uint32_t access, uint32_t shareMode, uint32_t disposition,
                        uint32_t attributes) {
    const std::string* nativeName = posix::ToNative(name);
    if (nativeName == nullptr) return kInvalidHandle;
    const std::string& native = *nativeName;
    bool absent = false;
    int flags = posix::OpenFlags(access);
    if (attributes & kOpenSeenBefore) {
        // Without the look before the open, an open never waits on what may
        // have taken the name since (a FIFO, a device): the refusal after it
        // closes that again.
        flags |= O_NONBLOCK;
    } else if (posix::Refused refusal = posix::RefusalBeforeOpen(native, access, shareMode, &absent)) {
        posix::SetLastError(refusal.code, refusal.reason);
        return kInvalidHandle;
    }
    bool created = false;
    int fd = posix::OpenByDisposition(native, flags, disposition, absent, &created);
    if (fd < 0) {
        posix::FailFromErrno(native);
        return kInvalidHandle;
    }
    // The locks come before the one look at the file, so that the size seen
    // is the size under them.
    posix::LockKind lockKind = posix::LockFor(access, shareMode);
    bool locked = posix::TakeLocks(fd, lockKind);
    uint64_t writesBefore = posix::writeCount;
    struct stat info;
    if (fstat(fd, &info) != 0) {
        posix::FailFromErrno(native);
        close(fd);
        return kInvalidHandle;
    }
    if (posix::Refused refusal = posix::Refusal(info, access, shareMode, created, locked)) {
        close(fd);
        posix::SetLastError(refusal.code, refusal.reason);
        return kInvalidHandle;
    }
    // Only regular files are locked: devices and pipes are shared freely.
    if (lockKind != posix::LockKind::None && !S_ISREG(info.st_mode)) posix::DropLocks(fd);
    uint64_t size = S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
    posix::Hold(fd, {true, info.st_dev, info.st_ino, info.st_mode, access, shareMode, size, writesBefore});
    posix::SetLastError(disposition == kOpenAlways && !created ? kErrorAlreadyExists : 0, {});
    return fd;
}

bool SysReadFile(SysHandle file, void* buffer, uint32_t size, uint32_t* delivered) {
    ssize_t count;
    // A signal that asks the run to stop ends a read that waits for data.
    do {
        count = read(static_cast<int>(file), buffer, size);
    } while (count < 0 && errno == EINTR && !SysInterruptRequested());
    if (count < 0) {
        *delivered = 0;
        if (errno == EIO) {
            posix::SetLastError(kErrorReadFault, posix::SystemWords(EIO));
        } else {
            posix::FailFromErrno("");
        }
        return false;
    }
    *delivered = static_cast<uint32_t>(count);
    return true;
}

namespace posix {
namespace {

// After a request to stop, a write waits at most this long in all for room
// (a full pipe that nobody reads), so that the run still ends, with its
// report, instead of waiting for a reader that may never come.
constexpr uint64_t kStopGrace = 1000;

// How many bytes may be written now without waiting past the grace: all of
// them before a request to stop; after it, at most a pipe's atomic unit
// once the descriptor has room, and none once the grace is over.
size_t RoomWithinGrace(int fd, size_t wanted) {
    if (!SysInterruptRequested()) return wanted;
    static uint64_t deadline = 0;
    uint64_t now = SysMilliseconds();
    if (deadline == 0) deadline = now + kStopGrace;
    struct pollfd wait = {fd, POLLOUT, 0};
    int left = now >= deadline ? 0 : static_cast<int>(deadline - now);
    if (poll(&wait, 1, left) <= 0 || !(wait.revents & POLLOUT)) return 0;
    return std::min<size_t>(wanted, PIPE_BUF);
}

}  // namespace
}  // namespace posix

bool posix::WriteFully(int fd, const char* bytes, size_t size, size_t* written) {
    size_t done = 0;
    while (done < size) {
        size_t room = RoomWithinGrace(fd, size - done);
        if (room == 0) {
            *written = done;
            SetLastError(kErrorOperationAborted, SystemWords(ECANCELED));
            return false;
        }
        ssize_t count = write(fd, bytes + done, room);
        // A write that a signal cut short (a full pipe nobody reads) is
        // tried again, unless the signal asked the run to stop: then it ends
        // as aborted, or the stop would wait for the reader.
        if (count >= 0 && static_cast<size_t>(count) < room && SysInterruptRequested()) {
            done += static_cast<size_t>(count);
            count = -1;
            errno = EINTR;
        }
        if (count < 0 && errno == EINTR && !SysInterruptRequested()) continue;
        // A write that takes nothing makes no progress: it fails as a
        // write fault, as a failing device does.
        if (count <= 0) {
            *written = done;
            if (count == 0) {
                SetLastError(kErrorWriteFault, kWordsShortWrite);
            } else if (errno == EIO) {
                SetLastError(kErrorWriteFault, SystemWords(EIO));
            } else {
                FailFromErrno("");
            }
            return false;
        }
        done += static_cast<size_t>(count);
    }
    *written = done;
    return true;
}

bool SysWriteFile(SysHandle file, const void* bytes, uint32_t size, uint32_t* written) {
    ++posix::writeCount;
    if (posix::WritesToTerminal(file)) [[unlikely]] {
        bool done = posix::WriteToTerminal(bytes, size);
        *written = done ? size : 0;
        return done;
    }
    size_t done = 0;
    bool ok = posix::WriteFully(static_cast<int>(file), static_cast<const char*>(bytes), size, &done);
    *written = static_cast<uint32_t>(done);
    return ok;
}

bool SysGetFileSize(SysHandle file, uint64_t* size) {
    posix::OpenHandle held;
    // A file open for reading only is looked at afresh: another process
    // may have cut it short since.
    if (posix::FindHeld(file, &held) && (held.access & kGenericWrite) && held.writesAtOpen == posix::writeCount) {
        *size = held.sizeAtOpen;
        return true;
    }
    struct stat info;
    if (fstat(static_cast<int>(file), &info) != 0) {
        posix::FailFromErrno("");
        return false;
    }
    *size = S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
    return true;
}

bool SysGetFileIdentity(SysHandle file, SysFileIdentity* identity) {
    // A file held keeps the identity it had at the open.
    posix::OpenHandle held;
    if (posix::FindHeld(file, &held)) {
        identity->device = static_cast<uint64_t>(held.device);
        identity->index = static_cast<uint64_t>(held.inode);
        return true;
    }
    struct stat info;
    if (fstat(static_cast<int>(file), &info) != 0) return posix::FailFromErrno("");
    identity->device = static_cast<uint64_t>(info.st_dev);
    identity->index = static_cast<uint64_t>(info.st_ino);
    return true;
}

bool SysFlushFileBuffers(SysHandle file) { return fsync(static_cast<int>(file)) == 0 || posix::FailFromErrno(""); }

bool SysSetFilePointer(SysHandle file, uint64_t position) {
    if (lseek(static_cast<int>(file), static_cast<off_t>(position), SEEK_SET) < 0) {
        posix::FailFromErrno("");
        return false;
    }
    return true;
}

SysFileType SysGetFileType(SysHandle file) {
    if (file == STDOUT_FILENO && posix::StdOutputClosedAtStart()) {
        posix::SetLastError(kErrorInvalidHandle, posix::SystemWords(EBADF));
        return SysFileType::Unknown;
    }
    posix::OpenHandle held;
    mode_t mode = 0;
    if (posix::FindHeld(file, &held)) {
        mode = held.mode;
    } else {
        struct stat info;
        if (fstat(static_cast<int>(file), &info) != 0) {
            posix::SetLastError(kErrorInvalidHandle, posix::SystemWords(EBADF));
            return SysFileType::Unknown;
        }
        mode = info.st_mode;
    }
    if (S_ISCHR(mode)) return SysFileType::Char;
    if (S_ISFIFO(mode) || S_ISSOCK(mode)) return SysFileType::Pipe;
    return SysFileType::Disk;
}

bool SysTruncateFile(SysHandle file, uint64_t size) {
    int result;
    do {
        result = ftruncate(static_cast<int>(file), static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0 || posix::FailFromErrno("");
}

SysHandle SysGetStdOutput() { return STDOUT_FILENO; }

bool SysGetFilePointer(SysHandle file, uint64_t* position) {
    off_t at = lseek(static_cast<int>(file), 0, SEEK_CUR);
    if (at < 0) return posix::FailFromErrno("");
    *position = static_cast<uint64_t>(at);
    return true;
}

SysHandle SysOpenStdInput() {
    struct stat info;
    if (fstat(STDIN_FILENO, &info) != 0) {
        posix::FailFromErrno("");
        return kInvalidHandle;
    }
    uint64_t size = S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
    posix::Hold(STDIN_FILENO,
                {true, info.st_dev, info.st_ino, info.st_mode, kGenericRead, kShareRead, size, posix::writeCount});
    return STDIN_FILENO;
}

bool SysCloseHandle(SysHandle file) {
    posix::OpenHandle held;
    bool known = posix::FindHeld(file, &held);
    posix::Release(file);
    // Standard input stays held, so that no file opened later takes its place.
    if (file == STDIN_FILENO) return true;
    // A file written here whose last name went while it was open (rm, or
    // its folder removed): its lines reached no file anyone can find, which
    // Windows would have prevented by refusing the delete. That is a
    // failure, never a success.
    struct stat info;
    bool nameless = known && (held.access & kGenericWrite) && fstat(static_cast<int>(file), &info) == 0 &&
                    info.st_nlink == 0;
    if (close(static_cast<int>(file)) != 0 && errno != EINTR) {
        posix::FailFromErrno("");
        return false;
    }
    if (nameless) {
        // The system's words for it: no such file.
        posix::SetLastError(kErrorFileNotFound, posix::SystemWords(ENOENT));
        return false;
    }
    return true;
}
