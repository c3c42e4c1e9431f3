// The character walk in UTF-8 (code page 65001): a well-formed sequence is
// one character, any other byte one of its own, and no ASCII byte is ever
// part of another character.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "codepage/lead_bytes.h"
#include "files/file_system.h"

namespace {

class Utf8Walk : public ::testing::Test {
protected:
    void SetUp() override { UseCodePage(kCodePageUtf8); }
    void TearDown() override { UseCodePage(kCodePageShiftJis); }

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

}  // namespace
