#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_system.h"
#include "files/line_file.h"
#include "process/io_result.h"
#include "unit_support.h"

using namespace std::literals;

namespace {

// "ディレクトリを作成できません" in code page 932.
constexpr std::string_view kCannotCreateDirectory =
    "\x83\x66\x83\x42\x83\x8c\x83\x4e\x83\x67\x83\x8a\x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";

// A scratch folder in the current directory, empty for every test.
class FileSystemFiles : public ::testing::Test {
protected:
    static constexpr const char* kScratch = "fs_scratch";
    void SetUp() override {
        std::filesystem::remove_all(kScratch);
        ASSERT_TRUE(MakeDirectories(".\\fs_scratch"));
        ASSERT_TRUE(IsExistingDirectory("fs_scratch"));
    }
    void TearDown() override { std::filesystem::remove_all(kScratch); }

    static void MakeFile(const std::string& name) {
        LineFile file;
        BindLineFile(file, name);
        OpenForAppendingOrCreating(file);
        WriteText(file, "x");
        FinishWrite(file);
        CloseLineFile(file);
        ASSERT_EQ(TakeIoResult(), 0) << name;
    }
};

}  // namespace

TEST(FileSystem, PathAndDirectoryParts) {
    struct PathCase {
        std::string_view path, pathOf, directoryOf;
    };
    const std::vector<PathCase> cases = {
        {R"(C:\Tools\prog.exe)", R"(C:\Tools\)", R"(C:\Tools)"},
        {R"(C:\prog.exe)", R"(C:\)", R"(C:\)"},
        {"C:prog.exe", "C:", "C:"},
        {"prog.exe", "", ""},
        {R"(\prog.exe)", R"(\)", R"(\)"},
        {R"(\\srv\share\a.csv)", R"(\\srv\share\)", R"(\\srv\share)"},
        {R"(C:\out\)", R"(C:\out\)", R"(C:\out)"},
        {R"(C:\out\\a.csv)", R"(C:\out\\)", R"(C:\out\\)"},
        {R"(out\sub\a.csv)", R"(out\sub\)", R"(out\sub)"},
        {R"(C:\data/a.csv)", R"(C:\)", R"(C:\)"},
        {"C:\\\x95\x5C\\a.csv", "C:\\\x95\x5C\\", "C:\\\x95\x5C\\"},  // C:\表\a.csv
        {"C:\\\x95\x5C", "C:\\", "C:\\"},                             // C:\表
        {"\x95\x5C", "", ""},                                         // 表
        {"", "", ""},
        // 81 81 is one character, so the backslash after it separates.
        {"\x81\x81\\a", "\x81\x81\\", "\x81\x81"},
        {"x\\\x81\x81\x81\x5C", "x\\", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.path)));
        EXPECT_EQ(PathOf(c.path), c.pathOf);
        EXPECT_EQ(DirectoryOf(c.path), c.directoryOf);
    }
}

TEST(FileSystem, NamesUsedAsTheyStand) {
    struct NameCase {
        std::string_view name;
        bool fullyQualified, driveRelative;
    };
    const std::vector<NameCase> cases = {
        {R"(C:\out)", true, false},
        {"C:r.ini", true, true},
        {"C:", true, true},
        {"c:/out", true, false},
        {R"(\\srv\share)", true, false},
        {R"(\/srv\share)", true, false},
        {R"(\out)", false, false},
        {"out", false, false},
        {"1:x", true, false},
        {R"(out\C:x)", true, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsFullyQualified(c.name), c.fullyQualified) << c.name;
        EXPECT_EQ(IsDriveRelative(c.name), c.driveRelative) << c.name;
    }
}

TEST(FileSystem, SeparatorsAndByteClasses) {
    const std::vector<std::pair<std::string_view, size_t>> separators = {
        {"", 0},
        {"abc", 0},
        {"a\\b", 2},
        {"C:x", 2},
        {"C:\\a\\b", 5},
        {"a\\b/c", 2},
        {"\x95\x5C", 0},
        {"a\\\x95\x5C", 2},
        {"x:\x81:", 2},
        {"\x81\x81\\", 3},
        {"\\\x81\x81\x81\x5C", 1},
    };
    for (const auto& [path, position] : separators)
        EXPECT_EQ(FindLastSeparator(path), position) << ::testing::PrintToString(std::string(path));

    const std::vector<std::pair<std::string_view, std::string_view>> drops = {
        {R"(C:\out\)", R"(C:\out)"},
        {R"(C:\out\\)", R"(C:\out\)"},
        {R"(C:\out)", R"(C:\out)"},
        {"", ""},
        {"\\", ""},
        {"C:\\\x95\x5C", "C:\\\x95\x5C"},
        {"\x81\x81\\", "\x81\x81"},
    };
    for (const auto& [path, dropped] : drops)
        EXPECT_EQ(DropTrailingBackslash(path), dropped) << ::testing::PrintToString(std::string(path));

    using B = ByteClass;
    const std::string_view text =
        "a\x95\x5C\x81\x81"
        "b\x81\x81\x81\x40\xA0\x5C\x81\0\xFD\x40"sv;
    const std::vector<B> classes = {B::Single, B::Lead,   B::Second, B::Lead,   B::Second, B::Single,
                                    B::Lead,   B::Second, B::Lead,   B::Second, B::Single, B::Single,
                                    B::Lead,   B::Single, B::Single, B::Single};
    ASSERT_EQ(text.size(), classes.size());
    for (size_t i = 0; i < text.size(); ++i) EXPECT_EQ(ClassifyByte(text, i), classes[i]) << "index " << i;
    EXPECT_EQ(ClassifyByte("\x81", 0), B::Lead);
    EXPECT_EQ(ClassifyByte("\x5C", 0), B::Single);
    for (std::string_view pair : {"\x9F\x40", "\xE0\x40", "\xFC\x40"}) EXPECT_EQ(ClassifyByte(pair, 1), B::Second);
    for (std::string_view pair : {"\x80\x40", "\xA0\x40", "\xDF\x40", "\xFD\x40"})
        EXPECT_EQ(ClassifyByte(pair, 1), B::Single);
}

TEST(FileSystem, TextOperations) {
    const std::vector<std::pair<std::string_view, std::string_view>> trims = {
        {"\t  ", ""},
        {"  a b\r", "a b"},
        {"\0a\0"sv, "a"},
        {"\x01x\x20", "x"},
        {"a\x7F", "a\x7F"},
        {"", ""},
        {"\x81\x40x\x81\x40", "\x81\x40x\x81\x40"},  // full-width blanks stay
    };
    for (const auto& [text, trimmed] : trims)
        EXPECT_EQ(TrimBlanks(text), trimmed) << ::testing::PrintToString(std::string(text));

    struct Position {
        std::string_view sub, text;
        int32_t position;
    };
    for (const auto& p : std::vector<Position>{{":", "", 0},
                                               {":", "C:\\x", 2},
                                               {":", "abcd\\e:f", 7},
                                               {"", "abc", 0},
                                               {"bc", "abcbc", 2},
                                               {"A", "abc", 0},
                                               {"\\", "\x95\x5C\\", 3},
                                               {"\x40", "\x81\x40\x40", 3},
                                               {"\x81", "\x81\x81", 1},
                                               {":", "a\0:b"sv, 0},
                                               {"cd", "abc", 0}})
        EXPECT_EQ(PositionOf(p.sub, p.text), p.position) << ::testing::PrintToString(std::string(p.text));

    struct Chars {
        std::string_view text;
        int32_t n;
        std::string_view first, last;
    };
    const std::string_view kana = "ab\x83\x41";  // abア
    for (const auto& c :
         std::vector<Chars>{{"/v", 1, "/", "v"},
                            {"\x93\xfa\x96\x7b.csv", 1, "\x93\xfa", "v"},  // 日本.csv
                            {"[a,b\x83\x5D", 1, "[", "\x83\x5D"},          // ends in ゾ, whose second byte is "]"
                            {"\xB1\xB2", 1, "\xB1", "\xB2"},               // ｱｲ
                            {kana, 2, "ab", "b\x83\x41"},
                            {kana, 3, kana, kana},
                            {kana, 9, kana, kana},
                            {kana, 0, "", ""},
                            {kana, -1, "", ""},
                            {"", 1, "", ""}}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.text)) + " n=" + std::to_string(c.n));
        EXPECT_EQ(FirstChars(c.text, c.n), c.first);
        EXPECT_EQ(LastChars(c.text, c.n), c.last);
    }

    for (const auto& [text, lower] : std::vector<std::pair<std::string_view, std::string_view>>{
             {"ABC\x83\x41", "abc\x83\x41"},              // ア keeps its second byte 41
             {"\x82\x60", "\x82\x81"},                    // Ａ to ａ
             {"X\x83\x5A\x95\x5C", "x\x83\x5A\x95\x5C"},  // セ, 表
             {"\x83\x9f\x84\x44", "\x83\xbf\x84\x74"},    // ΑД to αд
             {"aZ\0Q"sv, "az\0q"sv},
             {"", ""}})
        EXPECT_EQ(LowerText(text), lower) << ::testing::PrintToString(std::string(text));
}

TEST_F(FileSystemFiles, MakeDirectories) {
    EXPECT_TRUE(MakeDirectories("fs_scratch\\a\\b\\c"));
    for (const char* dir : {"fs_scratch\\a", "fs_scratch\\a\\b", "fs_scratch\\a\\b\\c"})
        EXPECT_TRUE(IsExistingDirectory(dir)) << dir;
    EXPECT_TRUE(MakeDirectories("fs_scratch\\a\\b\\"));  // already there

    // Two trailing backslashes: what is left still ends in one, so nothing is made.
    EXPECT_TRUE(MakeDirectories("fs_scratch\\new\\\\"));
    EXPECT_FALSE(IsExistingDirectory("fs_scratch\\new"));

    MakeFile("fs_scratch\\f.txt");
    EXPECT_FALSE(MakeDirectories("fs_scratch\\f.txt"));
    EXPECT_FALSE(MakeDirectories("fs_scratch\\f.txt\\sub"));

    // A missing first component of 3 bytes or more ends in the empty name.
    ASSERT_FALSE(IsExistingDirectory("fs_missing"));
    for (const std::string path : {"fs_missing\\sub", "fs_missing", ""}) {
        const auto failure = FailureOf([&] { MakeDirectories(path); });
        ASSERT_TRUE(failure.has_value()) << path;
        EXPECT_EQ(failure->kindName, "Exception");
        EXPECT_EQ(failure->message, kCannotCreateDirectory);
    }
    EXPECT_FALSE(IsExistingDirectory("fs_missing"));
    // One shorter than 3 bytes counts as present; creating below it then fails.
    ASSERT_FALSE(IsExistingDirectory("qz"));
    EXPECT_FALSE(MakeDirectories("qz\\c"));
    EXPECT_FALSE(IsExistingDirectory("qz"));
}

TEST_F(FileSystemFiles, ExistenceAndRemoval) {
    MakeFile("fs_scratch\\one.csv");
    ASSERT_TRUE(MakeDirectories("fs_scratch\\sub"));

    EXPECT_TRUE(IsExistingFile("fs_scratch\\one.csv"));
    EXPECT_TRUE(IsExistingFile("fs_scratch\\*.csv"));
    EXPECT_TRUE(IsExistingFile("fs_scratch\\o?e.csv"));
    EXPECT_FALSE(IsExistingFile("fs_scratch\\*.dat"));
    EXPECT_FALSE(IsExistingFile("fs_scratch\\two.csv"));
    EXPECT_FALSE(IsExistingFile("fs_scratch"));
    EXPECT_FALSE(IsExistingFile("fs_scratch\\sub"));
    EXPECT_FALSE(IsExistingFile("fs_scratch\\s*"));  // the only match is a directory

    EXPECT_TRUE(IsExistingDirectory("fs_scratch\\sub"));
    EXPECT_TRUE(IsExistingDirectory("fs_scratch\\sub\\"));
    EXPECT_FALSE(IsExistingDirectory("fs_scratch\\one.csv"));
    EXPECT_FALSE(IsExistingDirectory("fs_scratch\\none"));
    EXPECT_FALSE(IsExistingDirectory(""));

    EXPECT_FALSE(RemoveFile("fs_scratch\\two.csv"));
    EXPECT_FALSE(RemoveFile("fs_scratch\\sub"));
    EXPECT_TRUE(IsExistingDirectory("fs_scratch\\sub"));
    EXPECT_TRUE(RemoveFile("fs_scratch\\one.csv"));
    EXPECT_FALSE(IsExistingFile("fs_scratch\\one.csv"));
    EXPECT_FALSE(RemoveFile("fs_scratch\\one.csv"));
}
