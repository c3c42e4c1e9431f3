// UTF-8 text (code page 65001). The character walk: a well-formed sequence
// is one character, any other byte one of its own, and no ASCII byte is
// ever part of another character. Letter case: the letters of code page 932
// fold, now in their UTF-8 forms, and nothing else, the same on both
// programs; a malformed byte is a character of its own, equal only to
// itself. Keys are equal exactly when the texts are.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "codepage/code_page.h"
#include "files/file_system.h"

namespace {

class Utf8Walk : public ::testing::Test {
protected:
    void SetUp() override { SwitchCodePage(kCodePageUtf8); }
    void TearDown() override { SwitchCodePage(kCodePageShiftJis); }

    static std::vector<std::string> Characters(std::string_view text) {
        std::vector<std::string> characters;
        for (size_t i = 0; i < text.size();) {
            size_t next = NextCharIndex(text, i);
            characters.emplace_back(text.substr(i, next - i));
            i = next;
        }
        return characters;
    }
};

TEST_F(Utf8Walk, SequencesAndMalformedBytes) {
    using Chars = std::vector<std::string>;
    struct Row {
        std::string text;
        Chars characters;
        const char* why;
    };
    const Row rows[] = {
        {"a\xE3\x81\x82,", {"a", "\xE3\x81\x82", ","}, "あ is one character; its 0x82 leads nothing"},
        {"\xE3\x81,x", {"\xE3", "\x81", ",", "x"}, "a cut sequence: each byte alone, the comma kept"},
        {"\xF0\x9F\x98\x80!", {"\xF0\x9F\x98\x80", "!"}, "four bytes"},
        {"\xC0\xAF", {"\xC0", "\xAF"}, "an overlong slash is two bytes of their own"},
        {"\xED\xA0\x80", {"\xED", "\xA0", "\x80"}, "a surrogate is no character"},
        {"\xF4\x90\x80\x80", {"\xF4", "\x90", "\x80", "\x80"}, "nothing past U+10FFFF"},
        {"\xE3\x81\x82", {"\xE3\x81\x82"}, "a sequence that ends the text"},
    };
    for (const Row& row : rows) EXPECT_EQ(Characters(row.text), row.characters) << row.why;
}

TEST_F(Utf8Walk, ClassesAndCharacterCounts) {
    const std::string text = "\xE3\x81\x82\xE3\x81\\";  // あ, a cut sequence, a backslash
    const ByteClass classes[] = {ByteClass::Lead,   ByteClass::Second, ByteClass::Second,
                                 ByteClass::Single, ByteClass::Single, ByteClass::Single};
    for (size_t i = 0; i < text.size(); ++i) EXPECT_EQ(ClassifyByte(text, i), classes[i]) << "byte " << i;
    EXPECT_EQ(FirstChars(text, 1), "\xE3\x81\x82");
    EXPECT_EQ(LastChars(text, 2), "\x81\\");
    EXPECT_EQ(FindLastSeparator(text), text.size());
}

TEST_F(Utf8Walk, FoldsTheLettersOfCodePage932) {
    struct Row {
        const char* first;
        const char* second;
        bool equal;
        const char* why;
    };
    const Row rows[] = {
        {"Ｔｏｋｙｏ", "ｔｏｋｙｏ", true, "full-width Latin, both cases"},
        {"ΑΒΓΩ", "αβγω", true, "Greek, both cases"},
        {"МОСКВА", "москва", true, "Cyrillic, both cases"},
        {"Ё", "ё", true, "Cyrillic Yo"},
        {"Ⅳ", "ⅳ", true, "Roman numeral four"},
        {"Tokyo", "TOKYO", true, "ASCII"},
        {"É", "é", false, "no Latin-1 letter folds"},
        {"Ά", "ά", false, "no accented Greek letter folds"},
        {"Ａ", "A", false, "width counts"},
        {"ア", "あ", false, "kana type counts"},
        {"東京", "東京", true, "the same kanji"},
        {"\xE3\x81,", "\xE3\x81,", true, "a malformed sequence, byte for byte"},
        {"\xE3\x81", "\xE3\x82", false, "two malformed sequences"},
        {"\xC0\x80", "\xC0\x81", false, "overlong forms are bytes of their own"},
        {"\xE3\x81Ё", "\xE3\x81ё", true, "a letter after a cut sequence"},
        {"abc", "abc ", false, "a trailing blank counts"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CompareText(true, row.first, row.second) == 2, row.equal) << row.why;
        std::string first;
        std::string second;
        ASSERT_TRUE(CompareKey(row.first, first) && CompareKey(row.second, second));
        EXPECT_EQ(first == second, row.equal) << row.why;
    }
    EXPECT_NE(CompareText(false, "Tokyo", "TOKYO"), 2);
    std::string text = "ＡΩЯⅩÉ\xE3\x81Z";
    LowerTextInPlace(text.data(), text.size());
    EXPECT_EQ(text, "ａωяⅹÉ\xE3\x81z");
}

}  // namespace
