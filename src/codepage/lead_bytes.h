#pragma once
// The double-byte rule of the code page, on which every walk through text by
// characters rests: splitting, command-line words, paths, the report's
// program name. A lead byte and the byte after it are one character; a lead
// byte at the end of a text is a character by itself. Fixed once at start
// from the code page of the user's locale; read on every character of every
// line, so the test is one table lookup.

#include <cstddef>
#include <string_view>

void InitLeadBytes();
extern bool gLeadBytes[256];
inline bool IsLeadByte(unsigned char byte) { return gLeadBytes[byte]; }

enum class ByteClass { Single, Lead, Second };
// The class of the byte at 0-based index i, judged from the bytes before it.
ByteClass ClassifyByte(std::string_view text, size_t i);
// 0-based index of the character after the one that starts at i.
inline size_t NextCharIndex(std::string_view text, size_t i) {
    return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? i + 2 : i + 1;
}
