#pragma once
// The character rule of the code page, on which every walk through text by
// characters rests: splitting, command-line words, paths, the report's
// program name. In code page 932 a lead byte and the byte after it are one
// character, and a lead byte at the end of a text is a character by itself;
// the lead bytes come from the code page of the user's locale at start. In
// UTF-8 (code page 65001, chosen by the rule file) a well-formed sequence is
// one character and any other byte one of its own; no byte of a sequence is
// ASCII, so the double-byte rule is then off and ASCII bytes always stand
// for themselves. Read on every character of every line, so the test is one
// table lookup.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/utf8.h"

void InitLeadBytes();
// Switches the text rules (and the platform's comparison) to a code page:
// 932 or 65001.
void UseCodePage(uint32_t codePage);
extern bool gLeadBytes[256];
extern bool gUtf8;
inline bool IsLeadByte(unsigned char byte) { return gLeadBytes[byte]; }

enum class ByteClass { Single, Lead, Second };
// The class of the byte at 0-based index i, judged from the bytes before it.
ByteClass ClassifyByte(std::string_view text, size_t i);
// 0-based index of the character after the one that starts at i.
size_t NextUtf8CharIndex(std::string_view text, size_t i);
inline size_t NextCharIndex(std::string_view text, size_t i) {
    if (gUtf8) [[unlikely]] return NextUtf8CharIndex(text, i);
    return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? i + 2 : i + 1;
}

// Display columns, by which the summary pads and cuts its keys. In code page
// 932 every byte is a column: a double-byte character takes two, as a
// Japanese console shows it, and a cut may fall between its bytes. In UTF-8
// a character is one column, or two when it is wide or full-width, and is
// never cut.
struct ColumnStep {
    size_t next;      // 0-based index after the step
    int32_t columns;  // 1 or 2
};
ColumnStep NextColumnStep(std::string_view text, size_t i);
int64_t TextColumns(std::string_view text);
