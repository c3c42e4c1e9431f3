#include "text/comma_text.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "codepage/code_page.h"

namespace {

constexpr char kSeparator = ',';
constexpr char kQuote = '"';

// The walk reads the text eight bytes at a time: a word's bytes that may
// end what is being read are marked by their high bits, exactly, and only
// those are looked at one by one.
constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x80 * kEveryByte;
constexpr uint64_t kLowBits = 0x7F * kEveryByte;

// Each zero byte of the word.
constexpr uint64_t ZeroBytes(uint64_t word) { return ~(((word & kLowBits) + kLowBits) | word) & kHighBits; }
// Each byte below 0x21: a blank, or the NUL that ends the text.
constexpr uint64_t LowBytes(uint64_t word) {
    return ~(((word & kLowBits) + (0x80 - 0x21) * kEveryByte) | word) & kHighBits;
}
constexpr uint64_t BytesEqual(uint64_t word, char c) {
    return ZeroBytes(word ^ (static_cast<unsigned char>(c) * kEveryByte));
}
// What may end a quoted stretch: a quote, or a NUL.
constexpr uint64_t QuoteMarks(uint64_t word) { return BytesEqual(word, kQuote) | ZeroBytes(word); }
// What may end an unquoted item: a separator, a blank, or a NUL.
constexpr uint64_t PlainEndMarks(uint64_t word) { return BytesEqual(word, kSeparator) | LowBytes(word); }

static_assert(std::endian::native == std::endian::little, "the byte marks are read lowest first");
static_assert(LowBytes(0x2120001F7F80FF01ull) == 0x0080808000000080ull);
static_assert(QuoteMarks(0x2200222322412200ull) == 0x8080800080008080ull);

// The text of one line as the walk sees it: its size shrinks to the first
// NUL byte once the walk meets one, since nothing after it counts.
struct Walk {
    const char* text;
    size_t size;

    bool EndsAt(size_t at) {
        if (at < size && text[at] == '\0') size = at;
        return at >= size;
    }

    size_t SkipBlanks(size_t at) const {
        while (at < size && IsBlankByte(text[at])) ++at;
        return at;
    }

    // Whether the byte at `at` starts a character of the walk that started
    // at `from`: the lead bytes right before it pair off from the first of
    // their run (or from `from`), so an odd run leaves the last one taking
    // this byte.
    bool StartsCharacter(size_t from, size_t at) const {
        size_t run = 0;
        while (at - run > from && IsLeadByte(static_cast<unsigned char>(text[at - run - 1]))) ++run;
        return run % 2 == 0;
    }

    // The first byte from `at` on that `Marks` marks and that starts a
    // character of the walk from `from`, or the first NUL, where the text
    // ends; the end of the text when there is neither.
    template <uint64_t (*Marks)(uint64_t)>
    size_t Find(size_t at, size_t from) {
        for (; at < size; at += 8) {
            uint64_t word = 0;
            uint64_t marks;
            if (size - at >= 8) {
                std::memcpy(&word, text + at, 8);
                marks = Marks(word);
            } else {
                std::memcpy(&word, text + at, size - at);
                marks = Marks(word) & (kHighBits >> (8 * (8 - (size - at))));
            }
            for (; marks != 0; marks &= marks - 1) {
                // The marked byte and the one before it, from the word when it holds it.
                const unsigned bit = static_cast<unsigned>(std::countr_zero(marks)) - 7;
                const size_t hit = at + bit / 8;
                if (((word >> bit) & 0xFF) == 0) {
                    size = hit;
                    return hit;
                }
                if (hit == from) return hit;
                const unsigned char before = bit != 0 ? static_cast<unsigned char>(word >> (bit - 8))
                                                      : static_cast<unsigned char>(text[hit - 1]);
                if (!IsLeadByte(before) || StartsCharacter(from, hit)) return hit;
            }
        }
        return size;
    }

    // Reads the quoted item that opens at `at` into `item` (nullptr: skips
    // it); gives the position after its closing quote, or the end of the
    // text when none closes it. Runs between quotes are taken whole.
    size_t QuotedItem(size_t at, std::string* item) {
        ++at;
        for (;;) {
            size_t quote = Find<QuoteMarks>(at, at);
            if (item != nullptr) item->append(text + at, quote - at);
            if (quote == size) return quote;
            if (quote + 1 < size && text[quote + 1] == kQuote) {
                if (item != nullptr) *item += kQuote;
                at = quote + 2;
                continue;
            }
            return quote + 1;
        }
    }
};

// Walks the items of the text in order, at most `limit` of them; `slot(n)`
// gives the empty text that item n goes to, or nullptr to skip it. Gives
// the number of items.
template <typename Slot>
int32_t WalkItems(std::string_view text, int32_t limit, Slot slot) {
    Walk walk{text.data(), text.size()};
    int32_t count = 0;
    size_t at = walk.SkipBlanks(0);
    while (!walk.EndsAt(at) && count < limit) {
        std::string* item = slot(count++);
        if (text[at] == kQuote) {
            at = walk.QuotedItem(at, item);
        } else {
            // An unquoted item ends at a separator or a blank that is not
            // the second byte of a character.
            size_t start = at;
            at = walk.Find<PlainEndMarks>(at, at);
            if (item != nullptr) item->assign(text.data() + start, at - start);
        }
        // The usual step: a separator, and the next item right after it.
        if (at + 1 < walk.size && text[at] == kSeparator && static_cast<unsigned char>(text[at + 1]) > 0x20) {
            ++at;
            continue;
        }
        at = walk.SkipBlanks(at);
        if (!walk.EndsAt(at) && text[at] == kSeparator) {
            // A separator that ends the text leaves an empty item after it.
            if (walk.EndsAt(++at) && count < limit) slot(count++);
            at = walk.SkipBlanks(at);
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
