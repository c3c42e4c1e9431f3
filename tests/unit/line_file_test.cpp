// The line file over real files: how bytes become lines, and when written
// bytes reach the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/line_file.h"
#include "process/failure.h"
#include "process/io_result.h"
#include "test_files.h"

namespace {

class LineFileTest : public ScratchFolderTest {
protected:
    // The lines the input loop of the assort pass reads from these bytes.
    std::vector<std::string> LinesOf(const std::string& bytes) {
        std::string name = Path("in.csv");
        PutFile(name, bytes);
        LineFile file;
        BindLineFile(file, name);
        OpenForReading(file);
        EXPECT_EQ(TakeIoResult(), 0);
        std::vector<std::string> lines;
        std::string spill;
        while (!AtEndOfFile(file) && lines.size() < 100) lines.emplace_back(ReadLine(file, spill));
        CloseLineFile(file);
        EXPECT_EQ(TakeIoResult(), 0);
        return lines;
    }
};

using Lines = std::vector<std::string>;

TEST_F(LineFileTest, BytesBecomeLines) {
    struct Row {
        std::string bytes;
        Lines lines;
    };
    const std::string z(1, '\x1A');
    const Row rows[] = {
        {"", {}},
        {"xyz", {"xyz"}},
        {"xyz\r\n", {"xyz"}},
        {"xyz\n", {"xyz"}},
        {"xyz\r\n\r\n", {"xyz", ""}},
        {"\r\n", {""}},
        {"x\n\ny", {"x", "", "y"}},
        {"x\ry\r\n", {"xy"}},
        {"xyz\r", {"xyz"}},
        {"xyz\r\r\n", {"xyz"}},
        {"xyz\n\r", {"xyz", ""}},
        {z, {}},
        {"xyz\r\n" + z + "uvw\r\n", {"xyz"}},
        {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
        {"a" + z + "b\n" + z, {"a" + z + "b"}},
    };
    for (const Row& row : rows) EXPECT_EQ(LinesOf(row.bytes), row.lines) << "bytes: " << row.bytes;
}

TEST_F(LineFileTest, LongLinesAndBlockEdges) {
    for (size_t length : {127u, 128u, 255u, 256u, 5000u, kReadBlockSize - 1, kReadBlockSize + 1}) {
        std::string line(length, 'q');
        EXPECT_EQ(LinesOf(line + "\r\nend"), (Lines{line, "end"})) << length;
    }
    // A CR LF split across two blocks, and a lone CR at the end of a block.
    std::string head(kReadBlockSize - 1, 'h');
    EXPECT_EQ(LinesOf(head + "\r\nnext\r\n"), (Lines{head, "next"}));
    EXPECT_EQ(LinesOf(head + "\rtail\r\n"), (Lines{head + "tail"}));
    // A byte 26 opening the second block, inside a line, is text.
    std::string first(kReadBlockSize, 'f');
    EXPECT_EQ(LinesOf(first + "\x1A" + "g\r\n"), (Lines{first + "\x1Ag"}));
}

// Lines collect until the next one would not fit the write block; then the
// block goes out, ending at a line end. A line longer than the block goes
// out at once, whole.
TEST_F(LineFileTest, DiskFilesAreWrittenInBlocksOfWholeLines) {
    std::string name = Path("out.csv");
    LineFile file;
    BindLineFile(file, name);
    OpenForAppendingOrCreating(file);
    ASSERT_EQ(TakeIoResult(), 0);
    const std::string line(999, 'a');  // 1,001 bytes with its line end
    const size_t fit = kWriteBlockSize / 1001;
    for (size_t i = 0; i < fit; ++i) WriteLine(file, line);
    EXPECT_EQ(FileBytes(name).size(), 0u);
    WriteLine(file, line);
    EXPECT_EQ(FileBytes(name).size(), fit * 1001);
    const std::string big(kWriteBlockSize, 'b');
    WriteLine(file, big);
    EXPECT_EQ(FileBytes(name).size(), (fit + 1) * 1001 + big.size() + 2);
    WriteText(file, "c");
    WriteLineEnd(file);
    CloseLineFile(file);
    EXPECT_EQ(TakeIoResult(), 0);
    std::string all;
    for (size_t i = 0; i <= fit; ++i) all += line + "\r\n";
    EXPECT_EQ(FileBytes(name), all + big + "\r\nc\r\n");
}

TEST_F(LineFileTest, AppendingAddsAfterTheLastByte) {
    struct Row {
        std::string before;
        std::string after;
    };
    const Row rows[] = {
        {"x\r\n", "x\r\ny\r\n"},
        {"x", "xy\r\n"},
        {"", "y\r\n"},
        {std::string(300, 'p'), std::string(300, 'p') + "y\r\n"},
    };
    for (const Row& row : rows) {
        std::string name = Path("dest.csv");
        PutFile(name, row.before);
        LineFile file;
        BindLineFile(file, name);
        OpenForAppendingOrCreating(file);
        ASSERT_EQ(TakeIoResult(), 0);
        WriteText(file, "y");
        WriteLineEnd(file);
        CloseLineFile(file);
        EXPECT_EQ(TakeIoResult(), 0);
        EXPECT_EQ(FileBytes(name), row.after);
    }
}

TEST_F(LineFileTest, MisuseLeavesTheFacilitysCodes) {
    LineFile file;
    BindLineFile(file, Path("x.csv"));
    CloseLineFile(file);
    EXPECT_EQ(TakeIoResult(), kIoFileNotOpen);
    FinishWrite(file);
    EXPECT_EQ(TakeIoResult(), kIoFileNotOpen);
    WriteText(file, "a");
    EXPECT_EQ(TakeIoResult(), kIoNotOpenForOutput);
    EXPECT_TRUE(AtEndOfFile(file));
    EXPECT_EQ(TakeIoResult(), kIoNotOpenForInput);

    OpenForReading(file);
    EXPECT_EQ(TakeIoResult(), static_cast<int32_t>(kErrorFileNotFound));
    EXPECT_EQ(file.state, LineFileState::Closed);
}

TEST_F(LineFileTest, AHeldFileIsNeitherOpenedForWritingNorEmptied) {
    std::string name = Path("held.csv");
    PutFile(name, "keep\r\n");
    LineFile reader;
    BindLineFile(reader, name);
    OpenForReading(reader);
    LineFile writer;
    BindLineFile(writer, name);
    OpenForAppendingOrCreating(writer);
    EXPECT_EQ(TakeIoResult(), static_cast<int32_t>(kErrorSharingViolation));
    EXPECT_EQ(FileBytes(name), "keep\r\n");
    CloseLineFile(reader);
    EXPECT_EQ(TakeIoResult(), 0);
}

}  // namespace

namespace {

// A failure that travels out of the scope of an open destination still
// hands what was routed to the file, and closes it.
TEST_F(LineFileTest, PendingBytesReachTheFileWhenAFailureLeavesTheirScope) {
    std::string name = Path("open.csv");
    auto routeThenFail = [&] {
        LineFile file;
        BindLineFile(file, name);
        OpenForAppendingOrCreating(file);
        WriteText(file, "routed");
        WriteLineEnd(file);
        EXPECT_EQ(FileBytes(name), "");
        RaiseFailure("Exception", "", kPlaceUnknown);
    };
    EXPECT_THROW(routeThenFail(), Failure);
    EXPECT_EQ(FileBytes(name), "routed\r\n");
    // Closed: another writer that shares nothing may open it.
    LineFile again;
    BindLineFile(again, name);
    OpenForAppendingOrCreating(again);
    EXPECT_EQ(TakeIoResult(), 0);
    CloseLineFile(again);
}

}  // namespace
