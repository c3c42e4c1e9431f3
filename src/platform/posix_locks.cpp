// Locks across processes on Linux. Every regular file a handle opens takes
// locks without waiting: an open-file-description lock and a flock lock, so
// that a program that takes either kind meets a conflict (code 32). A handle
// with write access holds write locks; a read-only handle that denies
// writers holds read locks. Before a file is opened for writing, a read lease
// tells whether another process has it open for writing without any lock;
// where the system lets us ask (our own files, or as root), that is a
// conflict too.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/posix_internal.h"

namespace posix {
namespace {

struct flock WholeFile(short type) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

}  // namespace

LockKind LockFor(uint32_t access, uint32_t shareMode) {
    if (access & kGenericWrite) return LockKind::Exclusive;
    if (!(shareMode & kShareWrite)) return LockKind::Shared;
    return LockKind::None;
}

bool TakeLocks(int fd, LockKind kind) {
    if (kind == LockKind::None) return true;
    struct flock lock = WholeFile(kind == LockKind::Exclusive ? F_WRLCK : F_RDLCK);
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0 && (errno == EAGAIN || errno == EACCES)) return false;
    if (flock(fd, (kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return false;
    }
    return true;
}

void DropLocks(int fd) {
    struct flock unlock = WholeFile(F_UNLCK);
    fcntl(fd, F_OFD_SETLK, &unlock);
    flock(fd, LOCK_UN);
}

// Only the file's owner (or root) may take a lease; elsewhere nothing is
// known.
bool OpenForWritingElsewhere(const std::string& native, const struct stat& before) {
    if (!S_ISREG(before.st_mode)) return false;
    int probe = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (probe < 0) return false;
    struct stat info;
    bool writing = false;
    if (fstat(probe, &info) == 0 && S_ISREG(info.st_mode) && !OpenHereOn(info)) {
        if (fcntl(probe, F_SETLEASE, F_RDLCK) == 0) {
            fcntl(probe, F_SETLEASE, F_UNLCK);
        } else {
            writing = errno == EAGAIN;
        }
    }
    close(probe);
    return writing;
}

bool WriteLockedElsewhere(int fd) {
    struct flock probe = WholeFile(F_WRLCK);
    if (fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) return true;
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) return errno == EWOULDBLOCK;
    flock(fd, LOCK_UN);
    return false;
}

}  // namespace posix
