#include "text/comma_text.h"

#include <cstdint>
#include <cstring>

#include "codepage/lead_bytes.h"

namespace {

constexpr char kSeparator = ',';
constexpr char kQuote = '"';

bool IsBlank(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 0x01 && byte <= 0x20;
}

size_t SkipBlanks(std::string_view text, size_t at) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    return at;
}

// Reads the quoted item that opens at `at` into `item`; gives the position
// after its closing quote, or the end of the text when none closes it.
size_t ReadQuotedItem(std::string_view text, size_t at, std::string& item) {
    ++at;
    while (at < text.size()) {
        if (text[at] == kQuote) {
            if (at + 1 < text.size() && text[at + 1] == kQuote) {
                item += kQuote;
                at += 2;
                continue;
            }
            return at + 1;
        }
        // The double-byte step, as for plain items: in UTF-8 there are no
        // lead bytes, and bytes one by one split as characters do, since no
        // byte of a UTF-8 sequence is a quote.
        size_t next = (IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? at + 2 : at + 1;
        item.append(text, at, next - at);
        at = next;
    }
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
        if (byte == kSeparator || IsBlank(static_cast<char>(byte))) break;
        at += (IsLeadByte(byte) && at + 1 < size) ? 2 : 1;
    }
    return at;
}

}  // namespace

void SplitCommaText(std::string_view text, TextList& list, int32_t limit) {
    ClearItems(list);
    text = text.substr(0, text.find('\0'));
    size_t at = SkipBlanks(text, 0);
    while (at < text.size() && ItemCount(list) < limit) {
        std::string& item = AppendEmptyItem(list);
        if (text[at] == kQuote) {
            at = ReadQuotedItem(text, at, item);
        } else {
            size_t start = at;
            at = SkipPlainItem(text, at);
            item.assign(text, start, at - start);
        }
        at = SkipBlanks(text, at);
        if (at < text.size() && text[at] == kSeparator) {
            if (at + 1 == text.size() && ItemCount(list) < limit) AppendEmptyItem(list);
            at = SkipBlanks(text, at + 1);
        }
    }
}
