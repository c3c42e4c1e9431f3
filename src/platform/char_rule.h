#pragma once
// The character rule of the run's code page: the one walk over text that
// the program and both backends share, names included. In code page 932 a
// lead byte and the byte after it are one character, and a lead byte at the
// end of a text is a character by itself; the lead bytes are those the
// system gives for the ANSI code page of the user's locale. In UTF-8 (code
// page 65001, chosen by the rule file) a well-formed sequence is one
// character and any other byte one of its own; no byte of a sequence is
// ASCII, so there are no lead bytes then and ASCII bytes always stand for
// themselves. Read on every character of every line, so the test is one
// table lookup.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/utf8.h"

extern bool gLeadBytes[256];
extern bool gUtf8;
inline bool IsLeadByte(unsigned char byte) { return gLeadBytes[byte]; }

// Sets the rule: UTF-8, or the double-byte rule of the ANSI code page.
// Called by the backends' SysUseCodePage, and once at start.
void UseCharRule(bool utf8);

// 0-based index of the character after the one that starts at i.
size_t NextUtf8CharIndex(std::string_view text, size_t i);
inline size_t NextCharIndex(std::string_view text, size_t i) {
    if (gUtf8) [[unlikely]]
        return NextUtf8CharIndex(text, i);
    return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? i + 2 : i + 1;
}
