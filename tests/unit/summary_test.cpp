// The summary's key column; the summary itself is held by the end-to-end
// cases in tests/e2e/cases/assort.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "assort/summary.h"
#include "codepage/code_page.h"

namespace {

struct PadCase {
    std::string_view text;
    char fill;
    int32_t width;
    std::string_view padded;
};

void ExpectPadded(const std::vector<PadCase>& cases) {
    for (const auto& c : cases)
        EXPECT_EQ(PadRight(c.text, c.fill, c.width), c.padded) << ::testing::PrintToString(std::string(c.text));
}

}  // namespace

TEST(Summary, PadRightFillsAndCutsBytes) {
    ExpectPadded({
        {"TOKYO", ' ', 8, "TOKYO   "},
        {"\x8f\xe3\x8b\x4c\x88\xc8\x8a\x4f", ' ', 8, "\x8f\xe3\x8b\x4c\x88\xc8\x8a\x4f"},  // 上記以外
        {"ABCDEFGHIJ", ' ', 8, "ABCDEFGH"},
        {"ab\x93\xfa\x96\x7b", ' ', 5, "ab\x93\xfa\x96"},  // ab日本 cut inside 本
        {"ab\x93\xfa", ' ', 3, "ab\x93"},
        {"", '-', 3, "---"},
        {"abc", ' ', 3, "abc"},
        {"abc", ' ', 0, ""},
    });
}

// In UTF-8 a wide or full-width character takes two columns and any other
// one (half-width kana, é, a malformed byte) one; a character is never cut.
TEST(Summary, PadRightCountsColumnsInUtf8) {
    SwitchCodePage(kCodePageUtf8);
    ExpectPadded({
        {"上記以外", ' ', 8, "上記以外"},
        {"東京", ' ', 8, "東京    "},
        {"東京", ' ', 3, "東 "},  // 京 no longer fits: a blank
        {"ｱｲé\xE3\x81", ' ', 6, "ｱｲé\xE3\x81 "},
        {"Ｔｏｋｙｏ", '-', 5, "Ｔｏ-"},
    });
    SwitchCodePage(kCodePageShiftJis);
}
