#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/rule_file_reader.h"
#include "text/integer_text.h"
#include "unit_support.h"

TEST(RuleFileReader, IntegerOrDefault) {
    struct IntegerCase {
        std::string_view text;
        std::optional<int32_t> value;  // nothing: the caller's default
    };
    const std::optional<int32_t> kDefault;
    const std::vector<IntegerCase> cases = {
        {"3", 3},
        {"  3", 3},
        {"3 ", kDefault},
        {"\t5", kDefault},
        {"+7", 7},
        {"-5", -5},
        {"  -5", -5},
        {"- 5", kDefault},
        {"--5", kDefault},
        {"007", 7},
        {"0", 0},
        {"-0", 0},
        {"", kDefault},
        {"   ", kDefault},
        {"3.0", kDefault},
        {"1,000", kDefault},
        {"12abc", kDefault},
        {"$1F", 31},
        {"$1f", 31},
        {"0x1F", 31},
        {"0X1f", 31},
        {"x1F", 31},
        {"X10", 16},
        {"0x", kDefault},
        {"$", kDefault},
        {"$G", kDefault},
        {"00x10", kDefault},
        {"$000000001", 1},
        {"$7FFFFFFF", 2147483647},
        {"$80000000", -2147483647 - 1},
        {"$FFFFFFFF", -1},
        {"$100000000", kDefault},
        {"-$10", 16},
        {"-0x10", 16},
        {"+0x10", 16},
        {"2147483647", 2147483647},
        {"2147483648", kDefault},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", kDefault},
        {"0x3", 3},
        {"-0x3", 3},
        {"  $10", 16},
        {"$ 10", kDefault},
        {"0x10 ", kDefault},
        {"+", kDefault},
        {"-", kDefault},
        {"+ 5", kDefault},
        {"$0000000000FFFFFFFF", -1},
        {"4294967296", kDefault},
        {"99999999999", kDefault},
        {"\x82\x52", kDefault},  // full-width ３
    };
    for (const int32_t fallback : {99, -4242}) {
        for (const auto& c : cases) {
            EXPECT_EQ(IntegerOrDefault(c.text, fallback), c.value.value_or(fallback))
                << "text '" << c.text << "' default " << fallback;
        }
    }
}

// Line counts read their own decimal text back past 32 bits, so no count
// wraps or starts again from 1.
TEST(RuleFileReader, CountsReadPast32Bits) {
    struct Row {
        const char* text;
        int64_t value;
    };
    const Row rows[] = {
        {"0", 0},
        {"2147483647", 2147483647LL},
        {"2147483648", 2147483648LL},
        {"9223372036854775807", 9223372036854775807LL},
        {"9223372036854775808", -1},
        {"12abc", -1},
        {"", -1},
    };
    for (const Row& row : rows) EXPECT_EQ(CountOrDefault(row.text, -1), row.value) << row.text;
}
