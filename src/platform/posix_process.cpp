// The process on Linux: the command line, the start (signals and the three
// standard descriptors), interruption and the end.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <iterator>

#include "platform/platform.h"
#include "platform/posix_internal.h"

static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
std::atomic<bool> gSysInterruptRequested{false};
std::atomic<bool> gSysTickDue{false};

namespace {

bool stdOutputClosedAtStart = false;

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

bool IsRunningProgram(const struct stat& info) {
    struct stat program;
    return stat("/proc/self/exe", &program) == 0 && program.st_dev == info.st_dev && program.st_ino == info.st_ino;
}

}  // namespace posix

bool SysGetCommandLine(std::string& /*line*/, std::vector<std::string>& arguments) {
    // The arguments as the system handed them, each ended by a NUL, in the
    // run's code page.
    std::ifstream source("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    arguments.clear();
    size_t start = raw.find('\0');  // after the program's own name, word 0
    while (start != std::string::npos && start + 1 < raw.size()) {
        size_t end = raw.find('\0', start + 1);
        if (end == std::string::npos) end = raw.size();
        std::string word;
        arguments.emplace_back(posix::NameFromSystem(std::string_view(raw).substr(start + 1, end - start - 1), word));
        start = end;
    }
    return true;
}

void SysStartProcess() {
    HoldStandardDescriptors();
    posix::StartNames();
    posix::StartTerminal();
    // A closed pipe is then a write error, not a silent death.
    signal(SIGPIPE, SIG_IGN);
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
    static const SysUserConventions kLinuxWays{2, true, true};
    return kLinuxWays;
}

uint64_t SysMilliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

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
