// The line file over arbitrary bytes (Ctrl-Z, CR, NUL, long lines), read as
// the assort pass reads its input and written as it writes a destination.
//
// Reading: the lines agree with a plain reading of the line rules (a line
// ends at LF or CR LF; a CR not followed by LF is dropped; a Ctrl-Z met at
// the start of a line ends the data; inside a line every byte is text); the
// bytes consumed for each line are the line and the line end that was
// skipped, less only the lone CRs dropped, one line taking up where the
// last stopped, up to the end of the data; no step leaves a failure pending.
//
// Writing: every line with CR LF after it reaches the destination, after
// what it held before when appending; a disk file receives whole lines only,
// in blocks of at most kWriteBlockSize bytes (a longer line alone) and the
// rest at close; handing the pending lines over on the failure path loses
// nothing.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/line_file.h"
#include "fuzz_support.h"
#include "process/failure.h"
#include "process/io_result.h"
#include "scratch_file.h"

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kEndOfFile = '\x1A';

fuzz::ScratchFolder* scratch = nullptr;
std::string inputPath;
std::string outputPath;

struct Reading {
    std::vector<std::string> lines;
    size_t end = 0;  // where the data ends
};

Reading ReferenceRead(std::string_view data) {
    Reading reading;
    size_t at = 0;
    while (at < data.size() && data[at] != kEndOfFile) {
        std::string line;
        while (at < data.size()) {
            if (data[at] == kLf) break;
            if (data[at] == kCr) {
                if (at + 1 < data.size() && data[at + 1] == kLf) break;
                ++at;  // a lone CR is dropped
                continue;
            }
            line += data[at++];
        }
        if (at < data.size()) at += data[at] == kCr ? 2 : 1;
        reading.lines.push_back(line);
    }
    reading.end = at;
    return reading;
}

// The bytes in [from, to) less the CRs that no LF follows in the data.
std::string WithoutLoneCrs(std::string_view data, size_t from, size_t to) {
    std::string kept;
    for (size_t i = from; i < to; ++i) {
        if (data[i] == kCr && !(i + 1 < data.size() && data[i + 1] == kLf)) continue;
        kept += data[i];
    }
    return kept;
}

// How many bytes of the file the reader has consumed.
size_t Consumed(const LineFile& file) {
    off_t handed = lseek(static_cast<int>(file.handle), 0, SEEK_CUR);
    return static_cast<size_t>(handed) - (file.end - file.position);
}

std::vector<std::string> ReadAll(std::string_view input) {
    const Reading expected = ReferenceRead(input);
    LineFile file;
    BindLineFile(file, inputPath);
    OpenForReading(file);
    FUZZ_CHECK(TakeIoResult() == 0, "opening the input");
    std::vector<std::string> lines;
    std::string spill;
    size_t from = 0;
    for (;;) {
        bool ended = AtEndOfFile(file);
        FUZZ_CHECK(TakeIoResult() == 0, "end test");
        if (ended) break;
        FUZZ_CHECK(lines.size() <= input.size(), "more lines than bytes");
        std::string line(ReadLine(file, spill));
        FUZZ_CHECK(TakeIoResult() == 0, "reading line " + std::to_string(lines.size()));
        size_t to = Consumed(file);
        FUZZ_CHECK(to > from && to <= input.size(), "line " + std::to_string(lines.size()) + " consumed " +
                                                        std::to_string(from) + " to " + std::to_string(to));
        std::string taken = WithoutLoneCrs(input, from, to);
        bool endsLine = taken.size() >= line.size() + 1 && taken.compare(0, line.size(), line) == 0 &&
                        (taken.substr(line.size()) == "\r\n" || taken.substr(line.size()) == "\n");
        bool endsData = taken == line && to == expected.end;
        FUZZ_CHECK(endsLine || endsData, "line " + std::to_string(lines.size()) + " " + fuzz::Shown(line) +
                                             " from the bytes " + fuzz::Shown(taken));
        lines.push_back(line);
        from = to;
    }
    FUZZ_CHECK(Consumed(file) == expected.end,
               "stopped at " + std::to_string(Consumed(file)) + ", the data ends at " + std::to_string(expected.end));
    FUZZ_CHECK(lines == expected.lines, "got " + fuzz::Joined(lines) + ", rules give " + fuzz::Joined(expected.lines));
    CloseLineFile(file);
    FUZZ_CHECK(TakeIoResult() == 0, "closing the input");
    return lines;
}

void WriteAll(std::string_view input, const std::vector<std::string>& lines) {
    // Some inputs append to what the destination holds; the others make it,
    // as the assort pass makes a missing destination. Some end in a failure that leaves the scope of the
    // open destination before line failAt.
    const std::string before(input.substr(input.size() - input.size() % 150));
    const size_t failAt = input.size() % 3 == 0 ? input.size() % 5 : lines.size();
    std::string written = before;
    try {
        LineFile file;
        BindLineFile(file, outputPath);
        if (before.empty()) {
            unlink(outputPath.c_str());
            OpenForAppendingOrCreating(file);
        } else {
            fuzz::PutBytes(outputPath, before);
            OpenForAppendingOrCreating(file);
        }
        FUZZ_CHECK(TakeIoResult() == 0, "opening the destination");
        long long onDisk = static_cast<long long>(before.size());
        long long pending = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == failAt) RaiseFailure("Exception", "", kPlaceUnknown);
            WriteLine(file, lines[i]);
            FUZZ_CHECK(TakeIoResult() == 0, "writing line " + std::to_string(i));
            written += lines[i] + "\r\n";
            // The pending lines go out when this one does not fit after
            // them; one longer than a block goes out at once.
            long long size = static_cast<long long>(lines[i].size()) + 2;
            if (pending > 0 && size > kWriteBlockSize - pending) {
                onDisk += pending;
                pending = 0;
            }
            if (size <= kWriteBlockSize) {
                pending += size;
            } else {
                onDisk += size;
            }
            FUZZ_CHECK(fuzz::SizeOf(outputPath) == onDisk, "after line " + std::to_string(i) + " the file holds " +
                                                               std::to_string(fuzz::SizeOf(outputPath)) +
                                                               " bytes, not " + std::to_string(onDisk));
        }
        CloseLineFile(file);
        FUZZ_CHECK(TakeIoResult() == 0, "closing the destination");
    } catch (const Failure&) {
        FUZZ_CHECK(fuzz::GetBytes(outputPath) == written, "the failure path lost pending bytes");
        return;
    }
    FUZZ_CHECK(fuzz::GetBytes(outputPath) == written, "the destination differs from the lines written");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static fuzz::ScratchFolder folder;
    scratch = &folder;
    inputPath = scratch->Path("in.csv");
    outputPath = scratch->Path("out.csv");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzz::PutBytes(inputPath, input);
    std::vector<std::string> lines = ReadAll(input);
    WriteAll(input, lines);
    return 0;
}
