#pragma once
// The code page of the run's texts, in one place: its lead bytes and one
// character rule, the class of a byte, the display columns by which the
// summary pads its keys, and the comparison and lower-casing that ignore
// letter case. The run starts in code page 932 and switches once, when the
// rule file names UTF-8 (65001); switching also switches the platform's
// names and the message texts.
//
// In code page 932 a lead byte and the byte after it are one character, and
// a lead byte at the end of a text is a character by itself; the lead bytes
// are those the platform gives for the ANSI code page. Comparison and
// lower-casing are the system's (the platform's CompareStringA and
// CharLowerBuffA, reproduced on Linux). In UTF-8 a well-formed sequence is
// one character and any other byte one of its own; no byte of a sequence is
// ASCII, so there are no lead bytes then and ASCII bytes always stand for
// themselves. Letter case is folded, on both programs alike, for the same
// letters as in code page 932 and no others: ASCII, full-width Latin, Greek,
// Cyrillic and the Roman numerals; a malformed byte equals only itself.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/utf8.h"

// Read on every character of every line, so the test is one table lookup.
extern bool gLeadBytes[256];
extern bool gUtf8;
inline bool IsLeadByte(unsigned char byte) { return gLeadBytes[byte]; }

// Sets code page 932, with the platform's lead bytes: once at start.
void InitLeadBytes();
// Switches every text rule to the code page: 932 or 65001. The texts given,
// taken in the code page before (names), are carried over into the new one.
// False, and nothing changes, for a code page the program does not speak.
bool SwitchCodePage(uint32_t codePage, std::initializer_list<std::string*> carried = {});
// Changes whenever the code page does, so that a form worked out under one
// code page is never taken for one of another.
uint32_t CodePageGeneration();

// 0-based index of the character after the one that starts at i.
inline size_t NextCharIndex(std::string_view text, size_t i) {
    if (gUtf8) [[unlikely]]
        return i + utf8::SequenceLength(text, i);
    return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? i + 2 : i + 1;
}

// The length of the character at i when it is one the code page assigns,
// or 0 for a byte that is none (in code page 932 a lead byte without a
// second byte that may follow it, or a single byte left unassigned; in
// UTF-8 a malformed byte).
size_t WellFormedCharLength(std::string_view text, size_t i);

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

// Compares two texts by characters, ignoring letter case or not. Gives 1
// (less), 2 (equal), 3 (greater), or 0 when the system's comparison fails.
int CompareText(bool ignoreCase, std::string_view first, std::string_view second);
// Lower-cases the text in place, character by character: the byte length
// stays, and a second byte is never changed on its own.
void LowerTextInPlace(char* text, size_t length);
// A key for finding texts equal ignoring case: texts that CompareText(true,
// ...) finds equal have equal keys. In UTF-8 the key is the text with its
// letters made small, equal exactly when the texts are; in code page 932
// texts with equal keys may still differ, so a find confirms with
// CompareText. False when no key can be made (the find then compares item
// by item).
bool CompareKey(std::string_view text, std::string& key);
