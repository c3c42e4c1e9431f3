#include "text/comma_text.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "codepage/code_page.h"

namespace {

constexpr char kSeparator = ',';
constexpr char kQuote = '"';

size_t SkipBlanks(std::string_view text, size_t at) {
    while (at < text.size() && IsBlankByte(text[at])) ++at;
    return at;
}

// Whether the byte at `at` starts a character of the walk that started at
// `from`: the lead bytes right before it pair off from the first of their
// run (or from `from`), so an odd run leaves the last one taking this byte.
bool StartsCharacter(std::string_view text, size_t from, size_t at) {
    size_t run = 0;
    while (at - run > from && IsLeadByte(static_cast<unsigned char>(text[at - run - 1]))) ++run;
    return run % 2 == 0;
}

// The first quote character from `at` on, a character boundary; the end
// of the text when there is none. The bytes between are skipped by the
// memory scan: a quote byte found there is the character only when it
// does not end a double-byte one.
size_t FindQuote(std::string_view text, size_t at) {
    for (;;) {
        const void* hit = std::memchr(text.data() + at, kQuote, text.size() - at);
        if (hit == nullptr) return text.size();
        size_t quote = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
        if (StartsCharacter(text, at, quote)) return quote;
        at = quote + 1;  // a second byte ends its character
    }
}

// Reads the quoted item that opens at `at` into `item` (nullptr: skips
// it); gives the position after its closing quote, or the end of the text
// when none closes it. Runs between quotes are taken whole.
size_t ReadQuotedItem(std::string_view text, size_t at, std::string* item) {
    ++at;
    for (;;) {
        size_t quote = FindQuote(text, at);
        if (item != nullptr) item->append(text, at, quote - at);
        if (quote == text.size()) return quote;
        if (quote + 1 < text.size() && text[quote + 1] == kQuote) {
            if (item != nullptr) *item += kQuote;
            at = quote + 2;
            continue;
        }
        return quote + 1;
    }
}

constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x80 * kEveryByte;

// The bytes of the word that may end a plain item, as their high bits: a
// blank (below 0x21, the text holds no zero byte) or a separator. The
// lowest one marked is such a byte; marks above it may be false.
uint64_t ItemEndMarks(uint64_t word) {
    uint64_t blank = (word - 0x21 * kEveryByte) & ~word;
    uint64_t separators = word ^ (static_cast<unsigned char>(kSeparator) * kEveryByte);
    uint64_t separator = (separators - kEveryByte) & ~separators;
    return (blank | separator) & kHighBits;
}

// Gives the position after the unquoted item that starts at `at`: it ends
// at a separator or a blank that is not the second byte of a character.
size_t SkipPlainItem(std::string_view text, size_t at) {
    static_assert(std::endian::native == std::endian::little, "the byte marks are read lowest first");
    const size_t size = text.size();
    size_t from = at;  // a character boundary
    while (at + 8 <= size) {
        uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        uint64_t marks = ItemEndMarks(word);
        if (marks == 0) {
            at += 8;
            continue;
        }
        size_t end = at + static_cast<size_t>(std::countr_zero(marks) / 8);
        if (StartsCharacter(text, from, end)) return end;
        from = at = end + 1;
    }
    while (at < size) {
        unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte == kSeparator || IsBlankByte(static_cast<char>(byte))) {
            if (StartsCharacter(text, from, at)) return at;
            from = at + 1;
        }
        ++at;
    }
    return at;
}

// Walks the items of the text in order, at most `limit` of them; `slot(n)`
// gives the empty text that item n goes to, or nullptr to skip it. Gives
// the number of items.
template <typename Slot>
int32_t WalkItems(std::string_view text, int32_t limit, Slot slot) {
    text = text.substr(0, text.find('\0'));
    int32_t count = 0;
    size_t at = SkipBlanks(text, 0);
    while (at < text.size() && count < limit) {
        std::string* item = slot(count++);
        if (text[at] == kQuote) {
            at = ReadQuotedItem(text, at, item);
        } else {
            size_t start = at;
            at = SkipPlainItem(text, at);
            if (item != nullptr) item->assign(text, start, at - start);
        }
        at = SkipBlanks(text, at);
        if (at < text.size() && text[at] == kSeparator) {
            if (at + 1 == text.size() && count < limit) slot(count++);
            at = SkipBlanks(text, at + 1);
        }
    }
    return count;
}

}  // namespace

void SplitCommaText(std::string_view text, TextList& list, int32_t limit) {
    ClearItems(list);
    WalkItems(text, limit, [&](int32_t) { return &AppendEmptyItem(list); });
}

bool CommaTextItem(std::string_view text, int32_t index, std::string& item) {
    item.clear();
    auto slot = [&](int32_t number) { return number == index ? &item : nullptr; };
    return index >= 0 && WalkItems(text, index + 1, slot) > index;
}
