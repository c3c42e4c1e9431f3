// The destination table over a stand-in for its file calls: which files it
// opens and closes, in what order, as it puts destinations aside and opens
// them again, and what a failing call costs. The files themselves, and the
// journal, are held by the end-to-end fault cases.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "assort/destination_table.h"
#include "process/failure_place.h"
#include "process/io_result.h"
#include "unit_support.h"

namespace {

// The calls made, the lines each file received, and the one call that fails:
// the `failAt`th call of the kind ('o' open, 'w' write, 'c' close).
struct Fake {
    std::vector<std::string> log;
    std::map<std::string, std::string> held;
    char failKind = 0;
    int failAt = 0;
    int32_t code = 0;
    std::map<char, int> made;
};
Fake fake;

bool Fails(char kind) {
    int count = ++fake.made[kind];
    if (kind != fake.failKind || count != fake.failAt) return false;
    StoreIoResult(fake.code);
    return true;
}

void FakeReopen(LineFile& file) {
    fake.log.push_back("open " + file.name);
    if (!Fails('o')) file.state = LineFileState::Writing;
}

void FakeOpen(LineFile& file, FolderFailure*) { FakeReopen(file); }

void FakeWriteLine(LineFile& file, std::string_view line) {
    if (!Fails('w')) fake.held[file.name].append(line).append("\n");
}

void FakeWritePending(LineFile&) {}

void FakeClose(LineFile& file) {
    fake.log.push_back("close " + file.name);
    file.state = LineFileState::Closed;
    Fails('c');
}

const DestinationCalls kFakeCalls = {FakeOpen, FakeReopen, FakeWriteLine, FakeWritePending, FakeClose};

struct Line {
    size_t slot;  // 0: d (the default), 1: a, 2: b
    std::string_view text;
};

struct TableCase {
    std::string_view name;
    uint32_t bound;
    char failKind;
    int failAt;
    int32_t code;
    std::vector<Line> lines;
    std::vector<std::string> log;
    std::map<std::string, std::string> held;
    uint32_t place;  // of the failure; 0: none
};

}  // namespace

TEST(DestinationTable, PutsAsideReopensAndFails) {
    const std::vector<TableCase> cases = {
        {"the least recent put aside, opened again",
         2,
         0,
         0,
         0,
         {{1, "a1"}, {2, "b1"}, {1, "a2"}, {0, "d1"}},
         {"open d", "open a", "close d", "open b", "close b", "open d", "close d", "close a"},
         {{"a", "a1\na2\n"}, {"b", "b1\n"}, {"d", "d1\n"}},
         0},
        {"a failed write: the lines before it stay, none after",
         3,
         'w',
         2,
         112,
         {{1, "a1"}, {2, "b1"}, {1, "a2"}},
         {"open d", "open a", "open b"},
         {{"a", "a1\n"}},
         kPlaceWriteDestination},
        {"an open again that fails",
         1,
         'o',
         3,
         5,
         {{1, "a1"}, {0, "d1"}},
         {"open d", "close d", "open a", "close a", "open d"},
         {{"a", "a1\n"}},
         kPlaceOpenDestination},
        {"too many open files: one more put aside, never the one opening",
         3,
         'o',
         2,
         static_cast<int32_t>(kErrorTooManyOpenFiles),
         {{1, "a1"}},
         {"open d", "open a", "close d", "open a", "close a"},
         {{"a", "a1\n"}},
         0},
        {"a close that fails while putting aside",
         1,
         'c',
         1,
         112,
         {{0, "d1"}, {1, "a1"}},
         {"open d", "close d"},
         {{"d", "d1\n"}},
         kPlaceCloseDestination},
    };
    for (const TableCase& c : cases) {
        fake = Fake{{}, {}, c.failKind, c.failAt, c.code, {}};
        std::optional<Failure> failure;
        {
            DestinationTable table;
            table.calls = &kFakeCalls;
            StartDestinations(table, {"d", "a", "b"});
            table.bound = c.bound;
            failure = FailureOf([&] {
                OpenDestination(table, 0);
                int64_t number = 0;
                for (const Line& line : c.lines) RouteLine(table, line.slot, line.text, ++number);
                CloseDestinations(table);
                CommitDestinations(table);
            });
            PendingIoResult = 0;
        }
        EXPECT_EQ(fake.log, c.log) << c.name;
        EXPECT_EQ(fake.held, c.held) << c.name;
        EXPECT_EQ(failure ? failure->place : 0u, c.place) << c.name;
    }
}
