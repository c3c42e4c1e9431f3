// The routing floor: the least a program can do that routes lines into
// files by one field, written the way a careful C programmer would, with no
// promise beyond that.
//
//   rowdispatch-bench-route-floor RULES INPUT
//
// The input is read 1 MiB at a time and its line ends found with `memchr`;
// the routing field is found by skipping column - 1 fields (a quoted one
// with `memchr` for its closing quote), its quotes dropped; its bytes, ASCII
// letters made small, are hashed and looked up in an open-addressing table
// of the rule keys. Each destination is opened once, at its first line
// (append, made when missing), and keeps a 64 KiB output buffer until the
// end. No lock, no journal, no check beyond the system calls' results: what
// the program adds to this is what it costs to keep its promises.
//
// It reads only the keys of the rule file that the benchmark writes, and
// writes each line with CR LF, as the program does.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench_rules.h"

namespace {

constexpr size_t kReadSize = 1 << 20;
constexpr size_t kOutSize = 64 * 1024;

uint64_t Hash(std::string_view text) {
    uint64_t hash = 14695981039346656037u;
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(Lower(c))) * 1099511628211u;
    return hash;
}

struct Output {
    std::string path;
    int fd = -1;
    size_t pending = 0;
    std::unique_ptr<char[]> buffer;

    void Flush() {
        if (pending > 0 && write(fd, buffer.get(), pending) != static_cast<ssize_t>(pending))
            Fail("cannot write", path);
        pending = 0;
    }
    void Put(const char* bytes, size_t size) {
        if (fd < 0) {
            MakeParents(path);
            fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
            if (fd < 0) Fail("cannot open", path);
            buffer.reset(new char[kOutSize]);
        }
        if (size > kOutSize - pending) Flush();
        if (size > kOutSize) {
            if (write(fd, bytes, size) != static_cast<ssize_t>(size)) Fail("cannot write", path);
            return;
        }
        std::memcpy(buffer.get() + pending, bytes, size);
        pending += size;
    }
};

// The rule keys by their hash, in a table of a power of two slots.
struct KeyTable {
    struct Slot {
        std::string key;  // lowered; empty: free
        size_t output = 0;
    };
    std::vector<Slot> slots;
    size_t mask = 0;

    explicit KeyTable(const Rules& rules) {
        size_t size = 16;
        while (size < rules.rules.size() * 2) size *= 2;
        slots.resize(size);
        mask = size - 1;
        for (const Rule& rule : rules.rules) {
            size_t at = Hash(rule.key) & mask;
            while (!slots[at].key.empty()) at = (at + 1) & mask;
            slots[at] = {rule.key, rules.destinations[rule.destination].same};
        }
    }
    size_t Find(std::string_view value) const {
        for (size_t at = Hash(value) & mask; !slots[at].key.empty(); at = (at + 1) & mask) {
            const std::string& key = slots[at].key;
            if (key.size() != value.size()) continue;
            size_t i = 0;
            while (i < value.size() && Lower(value[i]) == key[i]) ++i;
            if (i == value.size()) return slots[at].output;
        }
        return 0;
    }
};

// The routing value: the field after column - 1 fields, without its quotes.
std::string_view ValueOf(const char* at, const char* end, int column) {
    for (int field = 1;; ++field) {
        const char* stop = at;
        bool quoted = at < end && *at == '"';
        if (quoted) {
            // The closing quote is one not followed by another.
            stop = at + 1;
            for (;;) {
                stop = static_cast<const char*>(std::memchr(stop, '"', static_cast<size_t>(end - stop)));
                if (stop == nullptr) return {};
                if (stop + 1 < end && stop[1] == '"') {
                    stop += 2;
                    continue;
                }
                break;
            }
            if (field == column) return {at + 1, static_cast<size_t>(stop - at - 1)};
            stop = static_cast<const char*>(std::memchr(stop, ',', static_cast<size_t>(end - stop)));
        } else {
            stop = static_cast<const char*>(std::memchr(at, ',', static_cast<size_t>(end - at)));
            if (field == column) return {at, static_cast<size_t>((stop ? stop : end) - at)};
        }
        if (stop == nullptr) return {};
        at = stop + 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: rowdispatch-bench-route-floor RULES INPUT\n");
        return 2;
    }
    Rules rules = ReadRules(argv[1]);
    KeyTable keys(rules);
    std::vector<Output> outputs(rules.destinations.size());
    for (size_t i = 0; i < outputs.size(); ++i) outputs[i].path = rules.destinations[i].path;
    outputs[0].Put("", 0);  // the default destination is made even when no line goes there

    int input = open(argv[2], O_RDONLY | O_CLOEXEC);
    if (input < 0) Fail("cannot open", argv[2]);
    std::unique_ptr<char[]> block(new char[kReadSize + 2]);
    std::string line;  // a line longer than the block, or a line without CR
    size_t kept = 0;   // the start of a line carried over from the last read
    for (;;) {
        ssize_t got = read(input, block.get() + kept, kReadSize - kept);
        if (got < 0) Fail("cannot read", argv[2]);
        size_t size = kept + static_cast<size_t>(got);
        const char* at = block.get();
        const char* end = at + size;
        for (;;) {
            const char* lf = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
            if (lf == nullptr) {
                if (got != 0) break;
                if (at == end) break;
                lf = end;  // the last line, without a line end
            }
            const char* text_end = lf > at && lf[-1] == '\r' ? lf - 1 : lf;
            Output& output = outputs[keys.Find(ValueOf(at, text_end, rules.column))];
            if (lf < end && text_end < lf) {
                output.Put(at, static_cast<size_t>(lf - at) + 1);
            } else {
                line.assign(at, static_cast<size_t>(text_end - at));
                line += "\r\n";
                output.Put(line.data(), line.size());
            }
            at = lf < end ? lf + 1 : end;
        }
        if (got == 0) break;
        kept = static_cast<size_t>(end - at);
        if (kept == kReadSize) Fail("a line longer than 1 MiB in", argv[2]);
        std::memmove(block.get(), at, kept);
    }
    for (Output& output : outputs) {
        if (output.fd < 0) continue;
        output.Flush();
        if (close(output.fd) != 0) Fail("cannot close", output.path);
    }
    close(input);
    return 0;
}
