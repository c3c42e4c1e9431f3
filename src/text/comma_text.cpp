#include "text/comma_text.h"

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

// Reads the quoted item that opens at `at` into `item` (nullptr: skips
// it); gives the position after its closing quote, or the end of the text
// when none closes it. Runs between quotes are taken whole.
size_t ReadQuotedItem(std::string_view text, size_t at, std::string* item) {
    ++at;
    size_t run = at;
    while (at < text.size()) {
        unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte == kQuote) {
            if (item != nullptr) item->append(text, run, at - run);
            if (at + 1 < text.size() && text[at + 1] == kQuote) {
                if (item != nullptr) *item += kQuote;
                at += 2;
                run = at;
                continue;
            }
            return at + 1;
        }
        // The double-byte step, as for plain items: in UTF-8 there are no
        // lead bytes, and bytes one by one split as characters do, since no
        // byte of a UTF-8 sequence is a quote.
        at += (IsLeadByte(byte) && at + 1 < text.size()) ? 2 : 1;
    }
    if (item != nullptr) item->append(text, run, at - run);
    return at;
}

// Gives the position after the unquoted item that starts at `at`: it ends
// at a separator or a blank that is not the second byte of a character.
size_t SkipPlainItem(std::string_view text, size_t at) {
    const size_t size = text.size();
    // Eight bytes at a time while none of them is a blank, a separator or a
    // byte of 0x80 or more (which may lead a double-byte character).
    constexpr uint64_t kEveryByte = 0x0101010101010101ull;
    constexpr uint64_t kHighBits = 0x80 * kEveryByte;
    while (at + 8 <= size) {
        uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        uint64_t blank = (word - 0x21 * kEveryByte) & ~word;  // a byte below 0x21
        uint64_t separators = word ^ (static_cast<unsigned char>(kSeparator) * kEveryByte);
        uint64_t separator = (separators - kEveryByte) & ~separators;
        if ((blank | separator | word) & kHighBits) break;
        at += 8;
    }
    while (at < size) {
        unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte == kSeparator || IsBlankByte(static_cast<char>(byte))) break;
        at += (IsLeadByte(byte) && at + 1 < size) ? 2 : 1;
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
