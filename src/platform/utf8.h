#pragma once
// UTF-8 as the system's names and the console meet it, shared by both
// backends and the code page's character rule. A character is a
// well-formed sequence (Unicode's table of well-formed byte sequences: no
// overlong forms, no surrogates, nothing past U+10FFFF); any other byte is
// a character of its own, so a malformed byte never takes a following ASCII
// byte with it. Which letters have case is the code page's (the POSIX
// backend's code page 932, the code-page module's UTF-8); both tables take
// the form of CaseRange below.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// A range of capital letters and the distance to their small letters.
struct CaseRange {
    uint32_t first;
    uint32_t last;
    uint32_t toLower;
};

// The small letter of a capital in one of the ranges; every other code stays.
template <size_t N>
constexpr uint32_t LowerByRanges(uint32_t code, const CaseRange (&ranges)[N]) {
    for (const CaseRange& range : ranges) {
        if (code >= range.first && code <= range.last) return code + range.toLower;
    }
    return code;
}

}  // namespace utf8
