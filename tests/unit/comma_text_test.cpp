#include <algorithm>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "text/comma_text.h"
#include "text/text_list.h"
#include "unit_support.h"

using namespace std::literals;

namespace {

struct SplitCase {
    std::string_view text;
    std::vector<std::string_view> items;
};

void ExpectSplit(const std::vector<SplitCase>& cases) {
    TextList list;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.text)));
        // One list for every case, as the callers use it.
        SplitCommaText(c.text, list);
        ASSERT_EQ(ItemCount(list), static_cast<int32_t>(c.items.size()));
        for (size_t i = 0; i < c.items.size(); ++i)
            EXPECT_EQ(ItemAt(list, static_cast<int32_t>(i)), c.items[i]) << "item " << i;
        // The assort pass takes its routing item alone: the same text.
        std::string item = "stale";
        for (size_t i = 0; i <= c.items.size(); ++i) {
            bool found = CommaTextItem(c.text, static_cast<int32_t>(i), item);
            EXPECT_EQ(found, i < c.items.size()) << "item " << i;
            EXPECT_EQ(item, found ? c.items[i] : "") << "item " << i;
        }
    }
}

}  // namespace

TEST(CommaText, SeparatorsQuotesAndBlanks) {
    ExpectSplit({
        {"", {}},
        {"   ", {}},
        {"a,b,c", {"a", "b", "c"}},
        {"a,,b", {"a", "", "b"}},
        {",a", {"", "a"}},
        {"a,", {"a", ""}},
        {"a, ", {"a"}},
        {",", {"", ""}},
        {"a,,", {"a", "", ""}},
        {"a, ,b", {"a", "", "b"}},
        {" a ,  b ", {"a", "b"}},
        {"a b", {"a", "b"}},
        {"a\tb,c", {"a", "b", "c"}},
        {"a;b", {"a;b"}},
        {R"("a,b",c)", {"a,b", "c"}},
        {R"(" a b ")", {" a b "}},
        {R"("a""b",c)", {"a\"b", "c"}},
        {R"("")", {""}},
        {R"("",x)", {"", "x"}},
        {R"("""")", {"\""}},
        {R"("ab"cd)", {"ab", "cd"}},
        {R"("ab" ,cd)", {"ab", "cd"}},
        {R"(ab"cd")", {"ab\"cd\""}},
        {R"(x,"abc)", {"x", "abc"}},
        {R"(x,""",y)", {"x", "\",y"}},
        {R"(a,")", {"a", ""}},
        {"\x93\xfa\x96\x7b,\x93\x8c\x8b\x9e", {"\x93\xfa\x96\x7b", "\x93\x8c\x8b\x9e"}},  // 日本,東京
        {"a\0b,c"sv, {"a"}},
    });
}

TEST(CommaText, LinesAndRuleEntries) {
    ExpectSplit({
        {"1,New York,3", {"1", "New", "York", "3"}},
        // Every byte up to 0x20 is a blank; DEL and the bytes from 0x80 are not.
        {"a\x01"
         "b\x1F"
         "c\r\nd",
         {"a", "b", "c", "d"}},
        {"a\x7F"
         "b",
         {"a\x7F"
          "b"}},
        // The inner text of rule entries: an empty key can arise.
        {",dest.csv", {"", "dest.csv"}},
        {" ,dest.csv", {"", "dest.csv"}},
        {R"("",dest.csv)", {"", "dest.csv"}},
        {"A, ", {"A"}},
        {"A,", {"A", ""}},
        {"A,b.csv,extra", {"A", "b.csv", "extra"}},
        {R"(" k ",f.csv)", {" k ", "f.csv"}},
        {R"(x,"a,b)", {"x", "a,b"}},
        {"\"a\tb\r\n\",c", {"a\tb\r\n", "c"}},
        {"\"a\0b\",c"sv, {"a"}},
    });
}

TEST(CommaText, DoubleByteCharactersAreWalkedWhole) {
    ExpectSplit({
        // A second byte with the value of a comma, quote or blank is none of them.
        {"\x81\x2C", {"\x81\x2C"}},
        {"a\x81,b", {"a\x81,b"}},
        {"\x9F,x", {"\x9F,x"}},
        {"\xE0,x", {"\xE0,x"}},
        {"\xFC,x", {"\xFC,x"}},
        {"a\x81 b", {"a\x81 b"}},
        {"\"\x81\",x", {"\x81\",x"}},
        {"\"a\x81\"\"b\",c", {"a\x81\"", "b\"", "c"}},
        // Not lead bytes: 0x80, 0xA0, half-width ｱ (B1), 0xDF, 0xFD.
        {"\x80,\xA0,\xB1,\xDF,\xFD", {"\x80", "\xA0", "\xB1", "\xDF", "\xFD"}},
        // A lead byte at the very end, or before the NUL, is a character by itself.
        {"ab\x81", {"ab\x81"}},
        {"a,\x81", {"a", "\x81"}},
        {"a\x81\0,b"sv, {"a\x81"}},
        // Second bytes 0x5C and 0x40 are ordinary: 表 and full-width space.
        {"\x95\x5C,\x81\x40", {"\x95\x5C", "\x81\x40"}},
    });
}

TEST(CommaText, NothingOfAnEarlierCallSurvives) {
    TextList list;
    SplitCommaText(R"("a long first item",second,third)", list);
    ASSERT_EQ(ItemCount(list), 3);
    SplitCommaText("ab,c", list);
    ASSERT_EQ(ItemCount(list), 2);
    EXPECT_EQ(ItemAt(list, 0), "ab");
    EXPECT_EQ(ItemAt(list, 1), "c");
    EXPECT_TRUE(FailureOf([&] { ItemAt(list, 2); }).has_value());
    EXPECT_EQ(IndexOfText(list, "third"), -1);
    SplitCommaText("  ", list);
    EXPECT_EQ(ItemCount(list), 0);
    EXPECT_EQ(IndexOfText(list, "ab"), -1);
    // A quoted item built over a reused item keeps only its own bytes.
    SplitCommaText(R"("xy""z")", list);
    ASSERT_EQ(ItemCount(list), 1);
    EXPECT_EQ(ItemAt(list, 0), "xy\"z");
}

// The assort pass splits only up to its routing field: the items it gets
// must be those a whole split gives.
TEST(CommaText, ALimitKeepsTheLeadingItems) {
    const char* texts[] = {"a,b,c", "a,,", ",", "1 New York,3", "x,\"a,b", "\"ab\"cd,e", "a,", ""};
    for (const char* text : texts) {
        TextList whole;
        SplitCommaText(text, whole);
        for (int32_t limit = 1; limit <= 4; ++limit) {
            TextList part;
            SplitCommaText(text, part, limit);
            ASSERT_EQ(ItemCount(part), std::min(limit, ItemCount(whole))) << text << " " << limit;
            for (int32_t i = 0; i < ItemCount(part); ++i) EXPECT_EQ(ItemAt(part, i), ItemAt(whole, i)) << text;
        }
    }
}
