// Once warmed up, the per-line work allocates nothing: this executable
// replaces the global allocation functions with counting ones and checks
// that a run over many lines makes exactly as many allocations as a run over
// few lines of the same kinds.
//
// The assort pass is handed its input's name, a file that the test writes,
// reads and removes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "assort/assort.h"
#include "files/file_system.h"
#include "files/line_file.h"
#include "process/command_words.h"
#include "process/failure.h"
#include "process/io_result.h"
#include "session/rule_set.h"
#include "session/run_options.h"
#include "test_files.h"
#include "text/comma_text.h"
#include "text/text_list.h"
#include "unit_support.h"

// The counting allocation functions. Over-aligned forms are left to the
// library: nothing in the program asks for them.
namespace {

std::atomic<uint64_t> allocations{0};

void* CountedAllocation(std::size_t size) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

// Out of line, so that the compiler, which takes a new expression for the
// library's, does not see the block reach free() and warn of a mismatch.
[[gnu::noinline]] void Release(void* block) noexcept { std::free(block); }

}  // namespace

void* operator new(std::size_t size) {
    if (void* block = CountedAllocation(size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* block = CountedAllocation(size)) return block;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }

namespace {

uint64_t AllocationsSoFar() { return allocations.load(std::memory_order_relaxed); }

// "東京" and a 300-byte stretch of "あ" in code page 932.
const std::string kKanjiKey = "\x93\x8c\x8b\x9e";
std::string LongKana() {
    std::string text;
    for (int i = 0; i < 150; ++i) text += "\x82\xa0";
    return text;
}

std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    }
    return text;
}

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    }
    return text;
}

// Ten kinds of line whose third field is the value (column 3), each with its
// line end: spellings in other letter case, a quoted value, blanks and tabs
// as separators, a doubled quote, Shift-JIS text, a line longer than the
// 128-byte blocks it is read in, an LF alone.
std::vector<std::string> LineKinds(const std::string& value) {
    return {
        "1,2024-01-01," + value + ",abc,100\r\n",
        "2,2024-01-02," + AsciiLower(value) + ",def,200\r\n",
        "3,2024-01-03," + AsciiUpper(value) + "," + kKanjiKey + ",300\r\n",
        "4,x,\"" + value + "\",\"a, b\",400\r\n",
        "  5 , x , " + value + " ,tail  \r\n",
        "6\tx\t" + value + "\tmore\r\n",
        "7,\"a \"\"b\"\" c\"," + value + ",z\r\n",
        "8,x," + value + "," + LongKana() + "\r\n",
        "9,x," + value + ",lf only\n",
        "10,x," + value + "\r\n",
    };
}

// Lines that no rule takes: a value without a rule, a short line (so an
// empty value), an empty line.
std::vector<std::string> UnroutedKinds() {
    std::vector<std::string> kinds = LineKinds("nowhere");
    kinds[5] = "6,short\r\n";
    kinds[9] = "\r\n";
    return kinds;
}

// The rules of the end-to-end cases, and the lines each one takes.
struct Route {
    std::string key;
    std::string file;
};
const Route kRoutes[] = {
    {"Tokyo", "tokyo.csv"},
    {"OSAKA", "osaka.csv"},
    {kKanjiKey, "kanto.csv"},
    {"k4", "k4.csv"},
};
constexpr int kRouteCount = static_cast<int>(sizeof kRoutes / sizeof kRoutes[0]);

// Lines that take turns through the kinds: `lines` in all, all of one
// destination together, the routes first and the unrouted lines last, so
// that the number of changes of destination does not depend on `lines`.
std::string GroupedInput(int lines) {
    std::string text;
    int groups = kRouteCount + 1;
    for (int g = 0; g < groups; ++g) {
        std::vector<std::string> kinds = g < kRouteCount ? LineKinds(kRoutes[g].key) : UnroutedKinds();
        for (int n = 0; n < lines / groups; ++n) text += kinds[static_cast<size_t>(n) % kinds.size()];
    }
    return text;
}

// Every line to another destination than the line before.
std::string AlternatingInput(int lines) {
    std::vector<std::string> first = LineKinds(kRoutes[0].key);
    std::vector<std::string> second = LineKinds(kRoutes[1].key);
    std::string text;
    for (int n = 0; n < lines; ++n) {
        const std::vector<std::string>& kinds = n % 2 == 0 ? first : second;
        text += kinds[static_cast<size_t>(n / 2) % kinds.size()];
    }
    return text;
}

// The count sees what the program's own code allocates: a zero below means
// nothing was allocated, not that nothing was counted.
TEST(Allocation, CountsWhatTheProgramAllocates) {
    TextList list;
    uint64_t before = AllocationsSoFar();
    AppendItem(list, std::string(1000, 'x'));
    EXPECT_GE(AllocationsSoFar() - before, 2u);  // the list's room and the item's bytes
}

TEST(Allocation, SplittingIntoAReusedListAllocatesNothing) {
    std::vector<std::string> lines;
    for (const Route& route : kRoutes) {
        for (std::string& line : LineKinds(route.key)) lines.push_back(line.substr(0, line.find_first_of("\r\n")));
    }
    TextList fields;
    for (const std::string& line : lines) SplitCommaText(line, fields);  // warming up

    uint64_t before = AllocationsSoFar();
    for (int n = 0; n < 10000; ++n) SplitCommaText(lines[static_cast<size_t>(n) % lines.size()], fields);
    EXPECT_EQ(AllocationsSoFar() - before, 0u);
    EXPECT_EQ(ItemAt(fields, 2), "k4");
}

TEST(Allocation, LookupAllocatesNothing) {
    TextList keys;
    for (const Route& route : kRoutes) AppendItem(keys, route.key);
    const std::vector<std::string> values = {"tokyo", "TOKYO", "osaka", kKanjiKey, "K4", "nowhere", "", LongKana()};
    for (const std::string& value : values) IndexOfText(keys, value);  // warming up

    int64_t found = 0;
    uint64_t before = AllocationsSoFar();
    for (int n = 0; n < 10000; ++n) found += IndexOfText(keys, values[static_cast<size_t>(n) % values.size()]);
    EXPECT_EQ(AllocationsSoFar() - before, 0u);
    // 0 + 0 + 1 + 2 + 3 - 1 - 1 - 1 for each turn through the values.
    EXPECT_EQ(found, 3 * (10000 / 8));
}

class AllocationFiles : public ScratchFolderTest {
protected:
    // Allocations of one pass of the input loop over these bytes.
    uint64_t ReadingAllocations(const std::string& bytes, int64_t& lines) {
        std::string name = Path("in.csv");
        PutFile(name, bytes);
        uint64_t before = AllocationsSoFar();
        LineFile file;
        BindLineFile(file, name);
        OpenForReading(file);
        std::string line;
        lines = 0;
        while (!AtEndOfFile(file)) {
            ReadLineText(file, line);
            SkipLineEnd(file);
            ++lines;
        }
        CloseLineFile(file);
        uint64_t used = AllocationsSoFar() - before;
        EXPECT_EQ(TakeIoResult(), 0);
        return used;
    }

    // Allocations of writing these lines, as the pass writes them, to a new
    // destination.
    uint64_t WritingAllocations(const std::vector<std::string>& lines, int count) {
        std::string name = Path("out.csv");
        std::error_code ignored;
        std::filesystem::remove(name, ignored);
        uint64_t before = AllocationsSoFar();
        LineFile file;
        BindLineFile(file, name);
        OpenForAppendingOrCreating(file);
        for (int n = 0; n < count; ++n) {
            WriteText(file, lines[static_cast<size_t>(n) % lines.size()]);
            WriteText(file, "\r\n");
            FinishWrite(file);
        }
        CloseLineFile(file);
        uint64_t used = AllocationsSoFar() - before;
        EXPECT_EQ(TakeIoResult(), 0);
        return used;
    }

    std::string InputName() { return Path("in.csv"); }

    // Allocations of one assort pass over the input, into a fresh output
    // folder; the rule set is left for the caller to inspect.
    uint64_t PassAllocations(const std::string& input, RuleSet& rules) {
        std::string out = Path("out");
        std::error_code ignored;
        std::filesystem::remove_all(out, ignored);
        PutFile(InputName(), input);
        rules = RuleSet{};
        rules.ColumnNo = 3;
        rules.BaseDir = out;
        rules.DefaultFile = "others.csv";
        rules.RuleKeys = std::make_unique<TextList>();
        rules.RuleFiles = std::make_unique<TextList>();
        rules.RuleCounts = std::make_unique<TextList>();
        for (const Route& route : kRoutes) {
            AppendItem(*rules.RuleKeys, route.key);
            AppendItem(*rules.RuleFiles, route.file);
            AppendItem(*rules.RuleCounts, "0");
        }
        gRunOptions = RunOptions{};
        gRunOptions.InfoEnabled = false;  // no summary among the test's lines

        uint64_t before = AllocationsSoFar();
        RunReport report;
        AssortInput(rules, report, InputName());
        uint64_t used = AllocationsSoFar() - before;
        gRunOptions = RunOptions{};
        EXPECT_EQ(TakeIoResult(), 0);
        return used;
    }
};

TEST_F(AllocationFiles, ReadingLinesAllocatesNothingPerLine) {
    int64_t fewLines = 0;
    int64_t manyLines = 0;
    uint64_t few = ReadingAllocations(GroupedInput(100), fewLines);
    uint64_t many = ReadingAllocations(GroupedInput(10000), manyLines);
    EXPECT_EQ(fewLines, 100);
    EXPECT_EQ(manyLines, 10000);
    EXPECT_EQ(many, few);
}

TEST_F(AllocationFiles, WritingLinesAllocatesNothingPerLine) {
    std::vector<std::string> lines;
    for (std::string& line : LineKinds("Tokyo")) lines.push_back(line.substr(0, line.find_first_of("\r\n")));
    WritingAllocations(lines, 100);  // what the first files of a process set up
    uint64_t few = WritingAllocations(lines, 100);
    uint64_t many = WritingAllocations(lines, 10000);
    EXPECT_EQ(many, few);
}

TEST_F(AllocationFiles, AssortPassAllocatesNothingPerLine) {
    RuleSet rules;
    PassAllocations(GroupedInput(100), rules);  // what the first pass of a process sets up
    uint64_t few = PassAllocations(GroupedInput(100), rules);
    EXPECT_EQ(ItemAt(*rules.RuleCounts, 0), "20");
    EXPECT_EQ(ItemAt(*rules.RuleCounts, 3), "20");
    EXPECT_EQ(rules.OtherCount, 20);
    uint64_t many = PassAllocations(GroupedInput(10000), rules);
    EXPECT_EQ(ItemAt(*rules.RuleCounts, 0), "2000");
    EXPECT_EQ(ItemAt(*rules.RuleCounts, 3), "2000");
    EXPECT_EQ(rules.OtherCount, 2000);
    EXPECT_EQ(many, few) << "allocations over 100 lines: " << few << ", over 10,000: " << many;
}

// Here every line closes one destination and opens another: a close and an
// open that allocate nothing either.
TEST_F(AllocationFiles, AssortPassAllocatesNothingPerChangeOfDestination) {
    RuleSet rules;
    PassAllocations(AlternatingInput(100), rules);
    uint64_t few = PassAllocations(AlternatingInput(100), rules);
    EXPECT_EQ(ItemAt(*rules.RuleCounts, 0), "50");
    EXPECT_EQ(ItemAt(*rules.RuleCounts, 1), "50");
    uint64_t many = PassAllocations(AlternatingInput(10000), rules);
    EXPECT_EQ(ItemAt(*rules.RuleCounts, 0), "5000");
    EXPECT_EQ(ItemAt(*rules.RuleCounts, 1), "5000");
    EXPECT_EQ(many, few) << "allocations over 100 changes: " << few << ", over 10,000: " << many << " ("
                         << static_cast<double>(many - few) / 9900.0 << " a change)";
}

}  // namespace
