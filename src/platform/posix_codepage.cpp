// The code page on Linux: the run's code page as the system services see it
// (names, the console, the character walk of the services reproduced here),
// and the lead bytes, lower-casing and comparison that ignores case of code
// page 932, as Windows gives them for Japanese text. UTF-8 comparison and
// lower-casing are the code-page module's, on both programs.
#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#include "platform/platform.h"
#include "platform/posix_internal.h"
#include "platform/utf8.h"

namespace posix {
namespace {

// The run's text is UTF-8 (code page 65001): names and console text pass
// unconverted, and a well-formed sequence is one character.
bool utf8Text = false;

// What the system reports for code page 932, the ANSI code page of the
// Japanese locale: lead bytes 0x81 to 0x9F and 0xE0 to 0xFC.
struct ByteRange {
    unsigned char first;
    unsigned char last;
};
constexpr ByteRange kLeadByteRanges[] = {{0x81, 0x9F}, {0xE0, 0xFC}};

// A malformed byte of UTF-8 is a character past every other.
constexpr uint32_t kMalformedCodeBase = 0x110000;

struct DuplicateCode {
    uint16_t code;
    uint16_t canonical;
};

// Codes of the NEC-selected and IBM extensions and of NEC row 13 that stand
// for a character code page 932 also has elsewhere. Windows decodes both to
// one character, so they compare equal.
constexpr DuplicateCode kDuplicateCodes[] = {
#include "platform/cp932_duplicates.inc"
};

// The letters that code page 932 folds (the code-page module folds the same
// letters of UTF-8).
constexpr utf8::CaseRange kShiftJisCaseRanges[] = {
    {0x41, 0x5A, 0x20},                 // ASCII
    {0x8260, 0x8279, 0x21},             // full-width Latin
    {0x839F, 0x83B6, 0x20},             // Greek
    {0x8440, 0x844E, 0x30},             // Cyrillic А to Н
    {0x844F, 0x8460, 0x31},             // Cyrillic О to Я; the small letters skip 0x847F
    {0x8754, 0x875D, 0xFA40 - 0x8754},  // Roman numerals I to X
};

bool IsShiftJisLead(unsigned char byte) {
    for (const ByteRange& range : kLeadByteRanges) {
        if (byte >= range.first && byte <= range.last) return true;
    }
    return false;
}

}  // namespace

const char* TextCharset() { return utf8Text ? nullptr : "CP932"; }

uint32_t NextShiftJisChar(std::string_view text, size_t& i) {
    unsigned char first = static_cast<unsigned char>(text[i++]);
    if (IsShiftJisLead(first) && i < text.size()) {
        return (static_cast<uint32_t>(first) << 8) | static_cast<unsigned char>(text[i++]);
    }
    return first;
}

uint32_t NextChar(std::string_view text, size_t& i) {
    if (!utf8Text) return NextShiftJisChar(text, i);
    const size_t start = i;
    i += utf8::SequenceLength(text, i);
    uint32_t code = 0;
    for (size_t k = start; k < i; ++k) code = (code << 8) | static_cast<unsigned char>(text[k]);
    return i - start == 1 && code >= 0x80 ? code + kMalformedCodeBase : code;
}

uint32_t LowerChar(uint32_t code) { return utf8::LowerByRanges(code, kShiftJisCaseRanges); }

uint32_t CanonicalChar(uint32_t code) {
    if (code >= kDuplicateCodes[0].code) {
        auto found = std::lower_bound(std::begin(kDuplicateCodes), std::end(kDuplicateCodes), code,
                                      [](const DuplicateCode& entry, uint32_t value) { return entry.code < value; });
        if (found != std::end(kDuplicateCodes) && found->code == code) return found->canonical;
    }
    return code;
}

}  // namespace posix

namespace {

static_assert(std::endian::native == std::endian::little, "the word comparison reads bytes in little-endian order");

constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x80 * kEveryByte;

// Up to eight bytes from `at` as one word, the first byte lowest; bytes past
// the end read as zero.
uint64_t WordAt(std::string_view text, size_t at) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + at, std::min<size_t>(8, text.size() - at));
    return word;
}

// A word of ASCII bytes with its capital letters made small.
uint64_t FoldAsciiWord(uint64_t word) {
    uint64_t fromA = word + (0x80 - 'A') * kEveryByte;      // high bit set from 'A' up
    uint64_t pastZ = word + (0x80 - 'Z' - 1) * kEveryByte;  // high bit set past 'Z'
    uint64_t capitals = fromA & ~pastZ & kHighBits;
    return word | (capitals >> 2);  // 0x80 >> 2 is the case bit
}

// The code of the next character of code page 932 for comparing: two codes
// for one character are one.
[[gnu::noinline]] uint32_t NextCode(std::string_view text, size_t& i, bool ignoreCase) {
    uint32_t code = posix::CanonicalChar(posix::NextShiftJisChar(text, i));
    return ignoreCase ? posix::LowerChar(code) : code;
}

// Writes a code of code page 932 back in its one or two bytes.
void PutCode(uint32_t code, char* out, size_t size) {
    if (size == 2) out[0] = static_cast<char>(code >> 8);
    out[size - 1] = static_cast<char>(code & 0xFF);
}

}  // namespace

void SysUseCodePage(uint32_t code) {
    posix::utf8Text = code == kCodePageUtf8;
    posix::UseTerminalConversion(!posix::utf8Text);
}

int SysCompareString(bool ignoreCase, std::string_view first, std::string_view second) {
    // Folding maps one-byte characters to one-byte ones and two-byte ones to
    // two-byte ones, so texts of different byte lengths never compare equal.
    if (first.size() != second.size()) return first.size() < second.size() ? 1 : 3;
    size_t i = 0;
    // Eight bytes at a time while both texts are ASCII; the first byte that
    // differs after folding decides.
    while (i < first.size()) {
        uint64_t x = WordAt(first, i);
        uint64_t y = WordAt(second, i);
        if ((x | y) & kHighBits) break;
        if (x != y && ignoreCase) {
            x = FoldAsciiWord(x);
            y = FoldAsciiWord(y);
        }
        if (x != y) {
            int shift = std::countr_zero(x ^ y) & ~7;
            return ((x >> shift) & 0xFF) < ((y >> shift) & 0xFF) ? 1 : 3;
        }
        i += 8;
    }
    size_t j = i;
    while (i < first.size() && j < second.size()) {
        unsigned char x = static_cast<unsigned char>(first[i]);
        unsigned char y = static_cast<unsigned char>(second[j]);
        if (x < 0x80 && y < 0x80) {
            if (x != y && ignoreCase) {
                x = static_cast<unsigned char>(posix::AsciiLower(x));
                y = static_cast<unsigned char>(posix::AsciiLower(y));
            }
            if (x != y) return x < y ? 1 : 3;
            ++i;
            ++j;
            continue;
        }
        uint32_t a = NextCode(first, i, ignoreCase);
        uint32_t b = NextCode(second, j, ignoreCase);
        if (a != b) return a < b ? 1 : 3;
    }
    if (i < first.size()) return 3;
    if (j < second.size()) return 1;
    return 2;
}

void SysCharLowerBuff(char* text, uint32_t length) {
    std::string_view view(text, length);
    for (size_t i = 0; i < length;) {
        size_t start = i;
        uint32_t code = posix::LowerChar(posix::NextShiftJisChar(view, i));
        PutCode(code, text + start, i - start);
    }
}

bool SysCompareKey(std::string_view text, std::string& key) {
    // The codes the comparison compares, each in as many bytes as its
    // character: equal exactly when the comparison says equal.
    key.resize(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {  // ASCII: one byte, its letter made small
            key[i++] = static_cast<char>(posix::AsciiLower(byte));
            continue;
        }
        size_t start = i;
        uint32_t code = NextCode(text, i, true);
        PutCode(code, key.data() + start, i - start);
    }
    return true;
}

int SysLeadByteRanges(uint8_t ranges[12]) {
    int pairs = 0;
    for (const posix::ByteRange& range : posix::kLeadByteRanges) {
        ranges[2 * pairs] = range.first;
        ranges[2 * pairs + 1] = range.last;
        ++pairs;
    }
    return pairs;
}

std::string SysTextToUtf8(std::string_view text) { return posix::CharsetToUtf8(text); }
