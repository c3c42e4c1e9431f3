#pragma once
// UTF-8 as the program reads text in code page 65001, shared by both
// backends and the character walk. A character is a well-formed sequence
// (Unicode's table of well-formed byte sequences: no overlong forms, no
// surrogates, nothing past U+10FFFF); any other byte is a character of its
// own, so a malformed byte never takes a following ASCII byte with it.
// Letter case is folded for the same letters as in code page 932, and no
// others: ASCII, full-width Latin, Greek, Cyrillic and the Roman numerals.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr uint32_t kCodePageShiftJis = 932;
inline constexpr uint32_t kCodePageUtf8 = 65001;

namespace utf8 {

inline bool IsContinuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

// The length of the character that starts at text[i]: 2 to 4 for a
// well-formed sequence, 1 for anything else.
inline size_t SequenceLength(std::string_view text, size_t i) {
    const unsigned char first = static_cast<unsigned char>(text[i]);
    if (first < 0xC2 || first > 0xF4) return 1;
    const size_t length = first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
    if (i + length > text.size()) return 1;
    const unsigned char second = static_cast<unsigned char>(text[i + 1]);
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
    if (second < low || second > high) return 1;
    for (size_t k = 2; k < length; ++k) {
        if (!IsContinuation(static_cast<unsigned char>(text[i + k]))) return 1;
    }
    return length;
}

// The text with every byte that starts no well-formed sequence replaced by
// U+FFFD.
inline std::string Sanitized(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t length = SequenceLength(text, i);
        if (length == 1 && static_cast<unsigned char>(text[i]) >= 0x80) {
            out += "\xEF\xBF\xBD";
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

// The code point of a well-formed sequence of the given length.
inline uint32_t Decode(std::string_view text, size_t i, size_t length) {
    const unsigned char first = static_cast<unsigned char>(text[i]);
    if (length == 1) return first;
    uint32_t code = first & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return code;
}

// Writes the code point in `length` bytes (the length it was read in).
inline void Encode(uint32_t code, char* out, size_t length) {
    if (length == 1) {
        out[0] = static_cast<char>(code);
        return;
    }
    static constexpr unsigned char kLeadMarks[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (size_t k = length - 1; k > 0; --k, code >>= 6) out[k] = static_cast<char>(0x80 | (code & 0x3F));
    out[0] = static_cast<char>(kLeadMarks[length] | code);
}

// A range of capital letters and the distance to their small letters.
struct CaseRange {
    uint32_t first;
    uint32_t last;
    uint32_t toLower;
};

inline constexpr CaseRange kCaseRanges[] = {
    {0x0041, 0x005A, 0x20},  // ASCII
    {0xFF21, 0xFF3A, 0x20},  // full-width Latin
    {0x0391, 0x03A1, 0x20},  // Greek Α to Ρ
    {0x03A3, 0x03A9, 0x20},  // Greek Σ to Ω (no capital final sigma)
    {0x0401, 0x0401, 0x50},  // Cyrillic Ё
    {0x0410, 0x042F, 0x20},  // Cyrillic А to Я
    {0x2160, 0x2169, 0x10},  // Roman numerals I to X
};

// The small letter of a capital in one of the ranges; every other code stays.
template <size_t N>
constexpr uint32_t LowerByRanges(uint32_t code, const CaseRange (&ranges)[N]) {
    for (const CaseRange& range : ranges) {
        if (code >= range.first && code <= range.last) return code + range.toLower;
    }
    return code;
}

// The small letter of a capital of that set; every other code stays. Small
// and capital letters have encodings of the same length.
inline uint32_t LowerLetter(uint32_t code) { return LowerByRanges(code, kCaseRanges); }

// Characters that a terminal shows two columns wide: the wide and full-width
// ones of Unicode's East Asian Width (kana, kanji, hangul, full-width forms,
// the emoji blocks). Every other character takes one column.
struct WideRange {
    uint32_t first;
    uint32_t last;
};

inline constexpr WideRange kWideRanges[] = {
    {0x1100, 0x115F}, {0x2329, 0x232A},   {0x2E80, 0x303E},   {0x3041, 0x3247},   {0x3250, 0x4DBF},   {0x4E00, 0xA4C6},
    {0xA960, 0xA97C}, {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6B},   {0xFF01, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

inline bool IsWide(uint32_t code) {
    if (code < kWideRanges[0].first) return false;
    for (const WideRange& range : kWideRanges) {
        if (code >= range.first && code <= range.last) return true;
    }
    return false;
}

}  // namespace utf8
