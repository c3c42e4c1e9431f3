// The process on Linux: the command line, the start (signals and the three
// standard descriptors), interruption and the end.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix_internal.h"

static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
std::atomic<bool> gSysInterruptRequested{false};
std::atomic<bool> gSysTickDue{false};

namespace {

bool stdOutputClosedAtStart = false;

// The arguments after the program's own name, as main was given them.
std::vector<std::string> startArguments;
// The program's own file found from its name (argv[0]) at start, for a
// system without /proc; empty when /proc names it, or nothing does.
std::string programFromName;

std::string RealPath(const std::string& name) {
    char* resolved = realpath(name.c_str(), nullptr);  // as long as it is
    if (resolved == nullptr) return "";
    std::string path(resolved);
    free(resolved);
    return path;
}

// argv[0] as the shell found it: a name with a "/" from the current folder,
// a bare name along PATH (an empty entry is the current folder).
std::string FindProgram(const char* name) {
    if (name == nullptr || *name == '\0') return "";
    std::string given(name);
    if (given.find('/') != std::string::npos) return RealPath(given);
    const char* path = getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        std::string candidate = (folder.empty() ? "." : folder) + "/" + given;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
            return RealPath(candidate);
        }
        start = end + 1;
    }
    return "";
}

// The first SIGINT, SIGTERM or SIGHUP asks the run to stop at the next line
// boundary; the handler is then reset, so a second one ends the process at
// once.
void OnStopSignal(int) { gSysInterruptRequested.store(true); }

void CatchStopSignal(int number) {
    struct sigaction current = {};
    if (sigaction(number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;  // nohup, background jobs
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // no SA_RESTART: a read that waits is ended
    sigaction(number, &action, nullptr);
}

// A descriptor 0, 1 or 2 that the parent left closed is held on /dev/null,
// so that no file opened later takes its place: a destination that became
// descriptor 1 would receive the failure report.
void HoldStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int held = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);  // the lowest free: fd
        if (held >= 0 && held != fd) {
            dup2(held, fd);
            close(held);
        }
        if (fd == STDOUT_FILENO) stdOutputClosedAtStart = true;
    }
}

}  // namespace

namespace posix {

bool StdOutputClosedAtStart() { return stdOutputClosedAtStart; }

const std::string& ProgramFromName() { return programFromName; }

bool IsRunningProgram(const struct stat& info) {
    struct stat program;
    bool known = stat("/proc/self/exe", &program) == 0 ||
                 (!programFromName.empty() && stat(programFromName.c_str(), &program) == 0);
    return known && program.st_dev == info.st_dev && program.st_ino == info.st_ino;
}

}  // namespace posix

bool SysGetCommandLine(std::string& /*line*/, std::vector<std::string>& arguments) {
    // The arguments as main was given them, in the run's code page.
    arguments.clear();
    for (const std::string& given : startArguments) {
        std::string word;
        arguments.emplace_back(posix::NameFromSystem(given, word));
    }
    return true;
}

void SysStartProcess(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) startArguments.emplace_back(argv[i]);
    char link[1];
    if (readlink("/proc/self/exe", link, sizeof link) <= 0 && argc > 0) programFromName = FindProgram(argv[0]);
    HoldStandardDescriptors();
    posix::StartNames();
    posix::StartTerminal();
    // A closed pipe is then a write error, not a silent death.
    signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG, a
    // report like any write fault, instead of a silent death.
    signal(SIGXFSZ, SIG_IGN);
    // The lease taken to look for other writers may be broken by one; its
    // notice must not end the process.
    signal(SIGIO, SIG_IGN);
    CatchStopSignal(SIGINT);
    CatchStopSignal(SIGTERM);
    CatchStopSignal(SIGHUP);
}


uint32_t SysOpenFileRoom() {
    // Descriptors kept for the standard streams, the input, a directory
    // search and the probes around an open.
    constexpr rlim_t kKept = 16;
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT32_MAX;
    if (limit.rlim_cur <= kKept) return 1;
    return static_cast<uint32_t>(std::min<rlim_t>(limit.rlim_cur - kKept, UINT32_MAX - 1));
}

void SysExitProcess(uint32_t status) { _exit(static_cast<int>(status)); }

const SysUserConventions& SysConventions() {
    static const SysUserConventions kLinuxWays{true, true, true};
    return kLinuxWays;
}

void SysBackMemory(void* start, size_t size) {
#ifdef MADV_POPULATE_WRITE
    // Whole pages only: the ones the range shares with others are theirs.
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (reinterpret_cast<uintptr_t>(start) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + size) & ~(page - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)start;
    (void)size;
#endif
}

uint64_t SysMilliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

std::string SysBootRecord() {
    char text[64] = {};
    int fd = open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
    ssize_t length = fd >= 0 ? read(fd, text, sizeof text - 1) : -1;
    if (fd >= 0) close(fd);
    std::string record(text, length > 0 ? static_cast<size_t>(length) : 0);
    while (!record.empty() && (record.back() == '\n' || record.back() == ' ')) record.pop_back();
    return record;
}

bool SysSameBoot(std::string_view record) { return !record.empty() && record == SysBootRecord(); }

namespace {

void OnTick(int) { gSysTickDue.store(true, std::memory_order_relaxed); }

void SetTimer(uint32_t period) {
    struct itimerval timer = {};
    timer.it_interval.tv_sec = period / 1000;
    timer.it_interval.tv_usec = static_cast<suseconds_t>(period % 1000) * 1000;
    timer.it_value = timer.it_interval;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

}  // namespace

void SysStartTicker(uint32_t period) {
    // SA_RESTART: a tick never cuts a read, a write or an open short.
    struct sigaction action = {};
    action.sa_handler = OnTick;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGALRM, &action, nullptr);
    SetTimer(period);
}

void SysStopTicker() { SetTimer(0); }
