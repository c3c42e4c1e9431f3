#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "codepage/code_page.h"
#include "text/text_list.h"
#include "unit_support.h"

namespace {

// "リストのインデックスが範囲を超えています (" in code page 932.
constexpr std::string_view kIndexMessageStart =
    "\x83\x8a\x83\x58\x83\x67\x82\xcc\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4e\x83\x58\x82\xaa"
    "\x94\xcd\x88\xcd\x82\xf0\x92\xb4\x82\xa6\x82\xc4\x82\xa2\x82\xdc\x82\xb7 (";

TextList ListOf(const std::vector<std::string_view>& items) {
    TextList list;
    for (auto item : items) AppendItem(list, item);
    return list;
}

std::vector<std::string> ItemsOf(const TextList& list) {
    std::vector<std::string> items;
    for (int32_t i = 0; i < ItemCount(list); ++i) items.emplace_back(ItemAt(list, i));
    return items;
}

void ExpectIndexFailure(const std::function<void()>& call, std::string_view index) {
    const auto failure = FailureOf(call);
    ASSERT_TRUE(failure.has_value()) << "index " << index;
    EXPECT_EQ(failure->kindName, "EStringListError");
    EXPECT_EQ(failure->message, std::string(kIndexMessageStart) + std::string(index) + ")");
}

}  // namespace

TEST(TextList, LookupIgnoresLetterCaseOnly) {
    struct LookupCase {
        std::vector<std::string_view> items;
        std::string_view text;
        int32_t index;
    };
    const std::vector<LookupCase> cases = {
        {{}, "", -1},
        {{}, "abc", -1},
        {{"ABC"}, "abc", 0},
        {{"ABC"}, "aBc", 0},
        {{"other", "TOKYO", "tokyo"}, "Tokyo", 1},
        {{"X", "x"}, "x", 0},
        {{"abc"}, "abc ", -1},
        {{"abc"}, "abcd", -1},
        {{"abcd"}, "abc", -1},
        {{"ab"}, "a.b", -1},
        {{"a", "b", ""}, "", 2},
        {{"ABC"}, "\x82\x60\x82\x61\x82\x62", -1},  // ＡＢＣ
        {{"a"}, "\x82\x81", -1},                    // ａ
        {{"\x82\xa0"}, "\x83\x41", -1},             // あ, ア
        {{"\x83\x41"}, "\xB1", -1},                 // ア, ｱ
        // ア (83 41) and ヂ (83 61): the second bytes differ like A and a.
        {{"\x83\x41"}, "\x83\x61", -1},
        {{"\x82\x82"}, "\x82\x61", 0},                                  // ｂ, Ｂ
        {{"\x82\x81\x82\x82\x82\x83"}, "\x82\x60\x82\x61\x82\x62", 0},  // ａｂｃ, ＡＢＣ
        {{"\x82\x79"}, "\x82\x9a", 0},                                  // Ｚ, ｚ
        {{"\x83\x9f"}, "\x83\xbf", 0},                                  // Α, α
        {{"\x83\xb6"}, "\x83\xd6", 0},                                  // Ω, ω
        {{"\x84\x44"}, "\x84\x74", 0},                                  // Д, д
        {{"\x84\x46"}, "\x84\x76", 0},                                  // Ё, ё
        {{"\x84\x60"}, "\x84\x91", 0},                                  // Я, я
        {{"\x83\x9f"}, "\x84\x40", -1},                                 // Α, А
    };
    // Each list as it stands, and lengthened past a few items by texts that
    // equal none looked up, so that the lookup goes through the index.
    const std::vector<std::string_view> fillers = {"f0", "f1", "f2", "f3", "f4", "f5", "f6", "f7"};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.text)));
        EXPECT_EQ(IndexOfText(ListOf(c.items), c.text), c.index);
        std::vector<std::string_view> longer = c.items;
        longer.insert(longer.end(), fillers.begin(), fillers.end());
        EXPECT_EQ(IndexOfText(ListOf(longer), c.text), c.index);
    }
    EXPECT_EQ(CompareNoCase("", ""), 0);
    EXPECT_EQ(CompareNoCase("aBc", "AbC"), 0);
    EXPECT_LT(CompareNoCase("a", "b"), 0);
    EXPECT_GT(CompareNoCase("b", "a"), 0);
}

// Lists of texts made of letters in both cases, full-width letters, codes
// that code page 932 gives twice for one character and a lone lead byte:
// the lookup gives what a scan from the first item gives, also after
// appending, replacing and clearing, and after the code page switches.
TEST(TextList, LookupFindsTheFirstEqualItemAsAScanDoes) {
    const std::vector<std::string_view> pieces = {"a",        "A",        "b",        "\x82\x60", "\x82\x81",
                                                  "\x87\x54", "\xFA\x4A", "\xFA\x40", "\xED\x40", "\xFA\x5C",
                                                  " ",        "\x83",     "\xD0\x81", "\xD1\x91"};
    uint64_t state = 20240101;
    auto below = [&](size_t n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<size_t>((state >> 33) % n);
    };
    auto text = [&] {
        std::string made;
        for (size_t n = below(3) + 1; n > 0; --n) made += pieces[below(pieces.size())];
        return made;
    };
    auto scan = [](const TextList& list, std::string_view wanted) {
        for (int32_t i = 0; i < ItemCount(list); ++i) {
            if (CompareNoCase(ItemAt(list, i), wanted) == 0) return i;
        }
        return -1;
    };
    TextList list;
    for (int round = 0; round < 300; ++round) {
        if (round % 50 == 49) ClearItems(list);
        if (round == 170) SwitchCodePage(kCodePageUtf8);  // Ё and ё (D0 81, D1 91) become equal
        AppendItem(list, text());
        if (ItemCount(list) > 2 && round % 7 == 0) ReplaceItem(list, static_cast<int32_t>(below(2)), text());
        for (int lookup = 0; lookup < 20; ++lookup) {
            std::string wanted = text();
            ASSERT_EQ(IndexOfText(list, wanted), scan(list, wanted)) << ::testing::PrintToString(wanted);
        }
    }
    SwitchCodePage(kCodePageShiftJis);
}

TEST(TextList, AppendReplaceAndClear) {
    TextList list;
    EXPECT_EQ(ItemCount(list), 0);
    std::string source = "key";
    EXPECT_EQ(AppendItem(list, source), 0);
    source = "changed";
    EXPECT_EQ(AppendItem(list, "KEY"), 1);
    EXPECT_EQ(AppendItem(list, "key"), 2);  // equal items are kept
    EXPECT_EQ(ItemsOf(list), (std::vector<std::string>{"key", "KEY", "key"}));

    ReplaceItem(list, 1, "a much longer text than before");
    ReplaceItem(list, 2, "");
    EXPECT_EQ(ItemsOf(list), (std::vector<std::string>{"key", "a much longer text than before", ""}));

    ClearItems(list);
    EXPECT_EQ(ItemCount(list), 0);
    EXPECT_EQ(IndexOfText(list, "key"), -1);
    EXPECT_EQ(AppendItem(list, "b"), 0);
    EXPECT_EQ(ItemsOf(list), (std::vector<std::string>{"b"}));
}

TEST(TextList, IndexOutsideTheListFails) {
    TextList list = ListOf({"a", "b", "c", "d", "e"});
    ExpectIndexFailure([&] { ItemAt(list, 5); }, "5");
    ExpectIndexFailure([&] { ItemAt(list, -1); }, "-1");
    ExpectIndexFailure([&] { ReplaceItem(list, 5, "x"); }, "5");
    ExpectIndexFailure([&] { ReplaceItem(list, -1, "x"); }, "-1");
    EXPECT_EQ(ItemsOf(list), (std::vector<std::string>{"a", "b", "c", "d", "e"}));

    ClearItems(list);
    ExpectIndexFailure([&] { ItemAt(list, 0); }, "0");
}
