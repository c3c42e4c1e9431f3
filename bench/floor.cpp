// The floor of the benchmark: the least a program can do that makes the
// system calls Rowdispatch's I/O pattern asks for, and nothing else.
//
//   rowdispatch-bench-floor RULES INPUT [/o]
//
// The same pattern as the program: the input read in 128-byte blocks; one
// destination open at a time, opened for appending (its existence asked
// first, a write lock taken, the last 128 bytes read) or created, and closed
// at every change of destination; output handed over in 128-byte blocks and
// the rest at close; each line written with CR LF. What it leaves out is all
// the program does besides: the routing value is found by a plain byte scan
// for commas, the lookup compares ASCII letters ignoring case over a table
// lowered once, and a line is copied only into a line buffer and from there
// into the output block. With /o it reads and counts only.
//
// It assumes what the benchmark's input guarantees (no blank, quote or comma
// inside the fields up to the routing value, lines ended by CR LF) and reads
// only the keys of the rule file that the benchmark writes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bench_rules.h"

namespace {

constexpr size_t kBlock = 128;

struct Writer {
    int fd = -1;
    size_t pending = 0;
    char block[kBlock];

    void Flush() {
        if (pending > 0 && write(fd, block, pending) != static_cast<ssize_t>(pending)) Fail("cannot write", "");
        pending = 0;
    }
    void Put(const char* bytes, size_t size) {
        while (size > 0) {
            size_t count = kBlock - pending < size ? kBlock - pending : size;
            std::memcpy(block + pending, bytes, count);
            pending += count;
            bytes += count;
            size -= count;
            if (pending == kBlock) Flush();
        }
    }
    void Open(const std::string& path) {
        struct stat info;
        if (stat(path.c_str(), &info) == 0) {
            fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0) Fail("cannot open", path);
            Lock(path);
            if (fstat(fd, &info) != 0) Fail("cannot size", path);
            off_t from = info.st_size < static_cast<off_t>(kBlock) ? 0 : info.st_size - static_cast<off_t>(kBlock);
            if (lseek(fd, from, SEEK_SET) < 0 || read(fd, block, kBlock) < 0) Fail("cannot read", path);
        } else {
            MakeParents(path);
            fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) Fail("cannot create", path);
            Lock(path);
        }
        pending = 0;
    }
    void Lock(const std::string& path) {
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (fcntl(fd, F_OFD_SETLK, &lock) != 0) Fail("cannot lock", path);
    }
    void Close() {
        Flush();
        if (close(fd) != 0) Fail("cannot close", "");
        fd = -1;
    }
};

size_t Lookup(const Rules& rules, const char* value, size_t size) {
    for (const Rule& rule : rules.rules) {
        if (rule.key.size() != size) continue;
        size_t i = 0;
        while (i < size && Lower(value[i]) == rule.key[i]) ++i;
        if (i == size) return rule.destination;
    }
    return 0;
}

// The routing value of a line: the field after column - 1 commas, up to the
// next comma or blank.
std::string_view ValueOf(const char* line, size_t size, int column) {
    const char* at = line;
    const char* end = line + size;
    for (int skip = 1; skip < column; ++skip) {
        at = static_cast<const char*>(std::memchr(at, ',', static_cast<size_t>(end - at)));
        if (at == nullptr) return {};
        ++at;
    }
    const char* stop = at;
    while (stop < end && *stop != ',' && static_cast<unsigned char>(*stop) > 0x20) ++stop;
    return {at, static_cast<size_t>(stop - at)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: rowdispatch-bench-floor RULES INPUT [/o]\n");
        return 2;
    }
    bool writing = !(argc > 3 && (std::strcmp(argv[3], "/o") == 0 || std::strcmp(argv[3], "/O") == 0));
    Rules rules = ReadRules(argv[1]);

    int input = open(argv[2], O_RDONLY | O_CLOEXEC);
    if (input < 0) Fail("cannot open", argv[2]);
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(input, F_OFD_SETLK, &lock) != 0) Fail("cannot lock", argv[2]);

    Writer out;
    size_t current = 0;
    if (writing) out.Open(rules.destinations[0].path);

    std::string line;
    line.reserve(1 << 16);
    int64_t lines = 0;
    auto route = [&]() {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string_view value = ValueOf(line.data(), line.size(), rules.column);
        Destination& destination = rules.destinations[Lookup(rules, value.data(), value.size())];
        ++destination.count;
        ++lines;
        if (!writing) return;
        if (destination.same != current) {
            out.Close();
            out.Open(destination.path);
            current = destination.same;
        }
        line += "\r\n";
        out.Put(line.data(), line.size());
    };

    char block[kBlock];
    for (;;) {
        ssize_t got = read(input, block, kBlock);
        if (got < 0) Fail("cannot read", argv[2]);
        if (got == 0) break;
        const char* at = block;
        const char* end = block + got;
        while (at < end) {
            const char* lf = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
            if (lf == nullptr) {
                line.append(at, static_cast<size_t>(end - at));
                break;
            }
            line.append(at, static_cast<size_t>(lf - at));
            route();
            line.clear();
            at = lf + 1;
        }
    }
    if (!line.empty()) route();
    if (writing) out.Close();
    close(input);

    std::printf("%lld lines\n", static_cast<long long>(lines));
    for (const Destination& destination : rules.destinations) {
        std::printf("%s %lld\n", destination.path.c_str(), static_cast<long long>(destination.count));
    }
    return 0;
}
