#pragma once
// The text rules of the code page built on the character rule
// (platform/char_rule.h): the class of a byte, and the display columns by
// which the summary pads its keys. The rule is set at start from the code
// page of the user's locale and switched once the rule file names UTF-8.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/char_rule.h"

void InitLeadBytes();
// Switches the text rules (and the platform's comparison) to a code page:
// 932 or 65001.
void UseCodePage(uint32_t codePage);

enum class ByteClass { Single, Lead, Second };
// A blank, which separates fields and command-line words: a byte from 0x01
// to 0x20 (space, tab, every control character but NUL). No byte of a
// double-byte character is one.
inline bool IsBlankByte(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 0x01 && byte <= 0x20;
}

// The class of the byte at 0-based index i, judged from the bytes before it.
ByteClass ClassifyByte(std::string_view text, size_t i);

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
