// The summary's key column; the summary itself is held by the end-to-end
// cases in tests/e2e/cases/assort.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "assort/summary.h"

TEST(Summary, PadRightFillsAndCutsBytes) {
    struct PadCase {
        std::string_view text;
        char fill;
        int32_t width;
        std::string_view padded;
    };
    const std::vector<PadCase> cases = {
        {"TOKYO", ' ', 8, "TOKYO   "},
        {"\x8f\xe3\x8b\x4c\x88\xc8\x8a\x4f", ' ', 8, "\x8f\xe3\x8b\x4c\x88\xc8\x8a\x4f"},  // 上記以外
        {"ABCDEFGHIJ", ' ', 8, "ABCDEFGH"},
        {"ab\x93\xfa\x96\x7b", ' ', 5, "ab\x93\xfa\x96"},  // ab日本 cut inside 本
        {"ab\x93\xfa", ' ', 3, "ab\x93"},
        {"", '-', 3, "---"},
        {"abc", ' ', 3, "abc"},
        {"abc", ' ', 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PadRight(c.text, c.fill, c.width), c.padded) << ::testing::PrintToString(std::string(c.text));
}
