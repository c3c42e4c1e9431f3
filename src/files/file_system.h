#pragma once
// File-system queries and changes, and the text and path operations built on
// the code page's double-byte rule. Paths are Windows paths: "\" and ":" are
// the only separators. The queries answer false on any refusal and print
// nothing; MakeDirectories alone raises a failure, for an empty name.
// Positions are 1-based byte positions, 0 for none.

#include <cstdint>
#include <string>
#include <string_view>

// Fixed once at start from the code page of the user's locale.
void InitLeadBytes();
bool DoubleByteMode();
// Filled by InitLeadBytes; read on every character of every line.
extern bool gLeadBytes[256];
inline bool IsLeadByte(unsigned char byte) { return gLeadBytes[byte]; }

enum class ByteClass { Single, Lead, Second };
// The class of the byte at 0-based index i, judged from the bytes before it.
ByteClass ClassifyByte(std::string_view text, size_t i);
// 0-based index of the character after the one that starts at i.
inline size_t NextCharIndex(std::string_view text, size_t i) {
    return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? i + 2 : i + 1;
}

size_t FindLastSeparator(std::string_view path);
std::string DropTrailingBackslash(std::string_view path);
std::string PathOf(std::string_view path);
std::string DirectoryOf(std::string_view path);

bool IsExistingFile(const std::string& path);
bool IsExistingDirectory(const std::string& path);
bool MakeDirectories(const std::string& path);
bool RemoveFile(const std::string& path);

std::string LowerText(std::string_view text);
// Bytes of 0x20 and below removed at both ends.
std::string_view TrimBlanks(std::string_view text);
int32_t PositionOf(std::string_view sub, std::string_view text);
// The first or last n characters; a double-byte character counts as one.
std::string_view FirstChars(std::string_view text, int32_t n);
std::string_view LastChars(std::string_view text, int32_t n);
std::string DecimalText(int64_t number);
