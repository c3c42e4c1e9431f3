// Comma-text splitting over arbitrary bytes: the items agree with a plain
// reading of the splitting rules, never hold a NUL byte, ignore everything
// after the first NUL, survive nothing of an earlier call on the same list,
// and items written back as quoted text split into themselves again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "text/comma_text.h"
#include "text/text_list.h"

namespace {

bool Blank(unsigned char c) { return c >= 0x01 && c <= 0x20; }

// The rules, read as plainly as they are written: separator ",", quote '"',
// blanks 0x01 to 0x20, walked character by character of code page 932.
std::vector<std::string> ReferenceSplit(std::string_view text) {
    text = fuzz::UpToNul(text);
    std::vector<std::string> items;
    size_t at = 0;
    auto skipBlanks = [&] {
        while (at < text.size() && Blank(fuzz::At(text, at))) at += fuzz::CharLength(text, at);
    };
    skipBlanks();
    while (at < text.size()) {
        std::string item;
        if (text[at] == '"') {
            ++at;
            for (;;) {
                if (at >= text.size()) break;  // unterminated: the rest is the item
                if (text[at] == '"') {
                    bool pair = at + 1 < text.size() && text[at + 1] == '"';
                    if (!pair) {
                        ++at;
                        break;
                    }
                    item += '"';
                    at += 2;
                    continue;
                }
                size_t length = fuzz::CharLength(text, at);
                item.append(text.substr(at, length));
                at += length;
            }
        } else {
            while (at < text.size() && text[at] != ',' && !Blank(fuzz::At(text, at))) {
                size_t length = fuzz::CharLength(text, at);
                item.append(text.substr(at, length));
                at += length;
            }
        }
        items.push_back(item);
        skipBlanks();
        if (at < text.size() && text[at] == ',') {
            if (at + 1 == text.size()) items.emplace_back();
            ++at;
            skipBlanks();
        }
    }
    return items;
}

std::vector<std::string> Items(const TextList& list) {
    std::vector<std::string> items;
    for (int32_t i = 0; i < ItemCount(list); ++i) items.emplace_back(ItemAt(list, i));
    return items;
}

std::vector<std::string> Split(std::string_view text, TextList& list) {
    SplitCommaText(text, list);
    return Items(list);
}

// Items as quoted text: each in double quotes with its quotes doubled,
// joined by commas.
std::string QuotedText(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) text += ',';
        text += '"';
        for (char c : items[i]) text += c == '"' ? std::string("\"\"") : std::string(1, c);
        text += '"';
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    TextList fresh;
    const std::vector<std::string> items = Split(input, fresh);

    const std::vector<std::string> expected = ReferenceSplit(input);
    FUZZ_CHECK(items == expected, "got " + fuzz::Joined(items) + ", rules give " + fuzz::Joined(expected));

    for (const std::string& item : items) FUZZ_CHECK(item.find('\0') == std::string::npos, fuzz::Joined(items));
    FUZZ_CHECK(items.size() <= fuzz::UpToNul(input).size() + 1, fuzz::Joined(items));

    // The assort pass takes its routing item alone: the same item.
    std::string item;
    for (size_t i = 0; i <= items.size(); ++i) {
        bool found = CommaTextItem(input, static_cast<int32_t>(i), item);
        FUZZ_CHECK(found == (i < items.size()) && item == (found ? items[i] : ""),
                   "item " + std::to_string(i) + " alone: " + fuzz::Shown(item) + " of " + fuzz::Joined(items));
    }

    // Only the text before the first NUL counts.
    TextList cut;
    FUZZ_CHECK(Split(fuzz::UpToNul(input), cut) == items, fuzz::Joined(items));

    // A list that held the items of another text first gives the same items.
    TextList reused;
    SplitCommaText("\"an earlier, longer item\",x,y,z,,,\"", reused);
    std::vector<std::string> again = Split(input, reused);
    FUZZ_CHECK(again == items, "reused list gives " + fuzz::Joined(again));
    for (std::string_view earlier : {"an earlier, longer item", "x", "y", "z", ""})
        FUZZ_CHECK(IndexOfText(reused, earlier) == IndexOfText(fresh, earlier),
                   "an item of the earlier call is still found: " + std::string(earlier));

    // Items without bytes of 0x80 and up, quoted, split into themselves.
    bool singleBytes = true;
    for (const std::string& item : items) singleBytes = singleBytes && !fuzz::HasByteFrom(item, 0x80);
    if (singleBytes) {
        TextList back;
        std::vector<std::string> quoted = Split(QuotedText(items), back);
        FUZZ_CHECK(quoted == items,
                   "quoted back: " + fuzz::Shown(QuotedText(items)) + " gives " + fuzz::Joined(quoted));
    }
    return 0;
}
