#pragma once
// What the fuzz targets share: a check that stops the run with the input
// shown when a property fails, and the slow, plain references of the
// code page 932 rules that the properties are stated in. Nothing here uses
// the program's own code.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// The bytes as readable text, at most `limit` of them.
inline std::string Shown(std::string_view bytes, size_t limit = 160) {
    std::string out;
    std::string more;
    if (bytes.size() > limit) {
        more = "... (" + std::to_string(bytes.size()) + " bytes)";
        bytes = bytes.substr(0, limit);
    }
    char hex[5];
    for (unsigned char c : bytes) {
        if (c >= 0x21 && c <= 0x7E && c != '\\') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + more;
}

[[noreturn]] inline void Fail(const char* property, const char* file, int line, std::string_view input,
                              const std::string& detail) {
    std::fprintf(stderr, "\nPROPERTY FAILED: %s\n  at %s:%d\n  input (%zu bytes): %s\n  %s\n", property, file, line,
                 input.size(), Shown(input, 600).c_str(), detail.c_str());
    std::abort();
}

// Checks a property of the input `input` (a std::string_view in scope).
#define FUZZ_CHECK(condition, detail)                                                    \
    do {                                                                                 \
        if (!(condition)) ::fuzz::Fail(#condition, __FILE__, __LINE__, input, (detail)); \
    } while (0)

// Code page 932: the bytes that open a double-byte character, and the bytes
// that can stand second in a well-formed one.
inline bool Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool Trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }
inline unsigned char At(std::string_view text, size_t i) { return static_cast<unsigned char>(text[i]); }

// The length of the character at i when walking the text from its start: a
// lead byte takes the byte after it, unless the text ends there.
inline size_t CharLength(std::string_view text, size_t i) { return (Lead(At(text, i)) && i + 1 < text.size()) ? 2 : 1; }

enum class Kind { Single, Lead, Second };

// Every byte's place in its character, walking from the start. A lead byte
// pairs with the next byte unless that byte is the end or a zero byte.
inline std::vector<Kind> Kinds(std::string_view text) {
    std::vector<Kind> kinds(text.size(), Kind::Single);
    for (size_t i = 0; i < text.size();) {
        if (Lead(At(text, i)) && i + 1 < text.size() && At(text, i + 1) != 0) {
            kinds[i] = Kind::Lead;
            kinds[i + 1] = Kind::Second;
            i += 2;
        } else {
            kinds[i] = Lead(At(text, i)) ? Kind::Lead : Kind::Single;
            ++i;
        }
    }
    return kinds;
}

// Every lead byte is followed by a byte that can stand second.
inline bool WellFormed(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (!Lead(At(text, i))) continue;
        if (i + 1 >= text.size() || !Trail(At(text, i + 1))) return false;
        ++i;
    }
    return true;
}

inline std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

inline bool HasByteFrom(std::string_view text, unsigned char from) {
    for (unsigned char c : text)
        if (c >= from) return true;
    return false;
}

inline std::string Joined(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? "|" : "") + Shown(items[i]);
    return out + "] (" + std::to_string(items.size()) + ")";
}

}  // namespace fuzz
