#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "process/command_words.h"
#include "unit_support.h"

using namespace std::literals;

namespace {

struct WordsCase {
    std::string_view line;
    std::vector<std::string_view> words;  // words 1 and up
};

void ExpectWords(const WordsCase& c) {
    SCOPED_TRACE(std::string(c.line));
    const auto count = static_cast<int32_t>(c.words.size());
    EXPECT_EQ(CommandWordCountIn(c.line), count);
    for (int32_t i = 1; i <= count; ++i) EXPECT_EQ(CommandWordIn(c.line, i), c.words[i - 1]) << "word " << i;
    // Beyond the count and below 0 there is nothing.
    EXPECT_EQ(CommandWordIn(c.line, count + 1), "");
    EXPECT_EQ(CommandWordIn(c.line, count + 5), "");
    EXPECT_EQ(CommandWordIn(c.line, -1), "");
}

}  // namespace

TEST(CommandWords, SplitsTheWordsOfACommandLine) {
    const std::vector<WordsCase> cases = {
        {"Rowdispatch in.csv rules.ini", {"in.csv", "rules.ini"}},
        {"Rowdispatch   in.csv\trules.ini   /s", {"in.csv", "rules.ini", "/s"}},
        {R"("C:\My Tools\Rowdispatch.exe" "D:\data\in put.csv" rules.ini /c)",
         {R"(D:\data\in put.csv)", "rules.ini", "/c"}},
        {R"(Rowdispatch D:\data\"in put".csv rules.ini)", {R"(D:\data\in put.csv)", "rules.ini"}},
        {R"(Rowdispatch a"b c"d e)", {"ab cd", "e"}},
        {R"(Rowdispatch "a b"c"d e")", {"a bcd e"}},
        {R"(Rowdispatch in.csv "" /s)", {"in.csv", "/s"}},
        {R"(Rowdispatch ""in.csv)", {"in.csv"}},
        {R"(Rowdispatch a""b)", {"ab"}},
        {R"(Rowdispatch "a""b")", {"ab"}},
        {R"(Rowdispatch """a b")", {"a b"}},
        {R"(Rowdispatch "a\"b c")", {R"(a\b)", "c"}},
        {R"(Rowdispatch "unclosed word)", {"unclosed word"}},
        {R"(Rowdispatch x ")", {"x"}},
        {R"(Rowdispatch " ")", {" "}},
        {"Rowdispatch", {}},
    };
    for (const auto& c : cases) ExpectWords(c);
}

TEST(CommandWords, BlanksQuotesAndDoubleByteNames) {
    const std::vector<WordsCase> cases = {
        // An empty pair moves the later words down by one.
        {R"(Rowdispatch "" rules.ini)", {"rules.ini"}},
        {R"(Rowdispatch "" "")", {}},
        {"Rowdispatch \"\"", {}},
        // Inside quotes blanks, tabs, CR and LF stay; outside, any run of them separates once.
        {"Rowdispatch \"a\tb\r\nc d\" e", {"a\tb\r\nc d", "e"}},
        {"Rowdispatch a \t\r\n b\x01"
         "c\x1F"
         "d",
         {"a", "b", "c", "d"}},
        {"  \tRowdispatch a", {"a"}},
        {"Rowdispatch a   ", {"a"}},
        // A stretch opened mid-word may run to the end; a backslash escapes nothing.
        {R"(Rowdispatch in"put.csv rules.ini /s)", {"input.csv rules.ini /s"}},
        {R"(Rowdispatch C:\dir\ "x y" \")", {R"(C:\dir\)", "x y", "\\"}},
        // A single quote as the last byte adds neither a word nor a character.
        {R"(Rowdispatch a b")", {"a", "b"}},
        // Bytes from 0x21 up are word bytes: 表 (95 5C), 日本 東京 in quotes, ｱ, DEL.
        {"Rowdispatch \x95\x5C.csv \"\x93\xfa\x96\x7b \x93\x8c\x8b\x9e\" \xB1\x7F",
         {"\x95\x5C.csv", "\x93\xfa\x96\x7b \x93\x8c\x8b\x9e", "\xB1\x7F"}},
    };
    for (const auto& c : cases) ExpectWords(c);
}

TEST(CommandWords, NextWordGivesThePositionAfterIt) {
    struct Step {
        std::string_view line;
        size_t from;
        std::string_view word;
        size_t after;
    };
    const std::vector<Step> steps = {
        {R"("C:\My Tools\R.exe" x)", 0, R"(C:\My Tools\R.exe)", 19},
        {R"("C:\My Tools\R.exe" x)", 19, "x", 21},
        {R"("C:\My Tools\R.exe" x)", 21, "", 21},
        {"p  ab\tc", 1, "ab", 5},
        {R"(p x ")", 3, "", 5},
        {R"(p ""  ""x y)", 1, "x", 9},
        {R"(p a"b c"d e)", 1, "ab cd", 9},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(std::string(s.line) + " from " + std::to_string(s.from));
        std::string word = "stale";
        EXPECT_EQ(NextCommandWord(s.line, s.from, word), s.after);
        EXPECT_EQ(word, s.word);
    }
}

TEST(CommandWords, WordZeroIsTheProgramFile) {
    const std::string program = ProgramFile();
    ASSERT_FALSE(program.empty());
    // The full path, not the name as typed: it holds a directory.
    EXPECT_NE(program.find('\\'), std::string::npos) << program;
    EXPECT_EQ(ModuleNameOf(program).substr(0, 10), "unit_tests") << program;
    const std::vector<std::string> words = TakeCommandWords();
    EXPECT_EQ(WordAt(words, 0), "");
    EXPECT_EQ(WordAt(words, -1), "");
    EXPECT_EQ(WordAt(words, static_cast<int32_t>(words.size()) + 1), "");
}
