// Rule loading's own pieces; the loading itself is held by the end-to-end
// cases in tests/e2e/cases/rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/rule_loading.h"

TEST(RuleLoading, EntryKeysAreZeroPadded) {
    const std::vector<std::pair<int64_t, std::string_view>> cases = {
        {1, "001"}, {42, "042"}, {999, "999"}, {1000, "000"}, {1001, "001"}, {0, "000"}, {-5, "-005"}, {-1234, "-234"},
    };
    for (const auto& [number, text] : cases) EXPECT_EQ(ZeroPad(number, 3), text) << number;
    EXPECT_EQ(ZeroPad(7, 5), "00007");
    EXPECT_EQ(ZeroPad(123456, 5), "23456");
}
