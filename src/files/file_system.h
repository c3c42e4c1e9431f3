#pragma once
// File-system queries and changes, and the text and path operations built on
// the code page's double-byte rule. Paths are Windows paths: "\" and ":"
// separate, and "/" too in a name the system takes as rooted (on Linux
// "/data/in.csv"), up to its first "\" (the rest is a name placed under
// that folder, where "/" is an ordinary character). The queries answer false on any refusal and print
// nothing; MakeDirectories alone raises a failure, for an empty name.
// Positions are 1-based byte positions, 0 for none.

#include <cstdint>
#include <string>
#include <string_view>

#include "codepage/code_page.h"

size_t FindLastSeparator(std::string_view path);
std::string DropTrailingBackslash(std::string_view path);
std::string PathOf(std::string_view path);
std::string DirectoryOf(std::string_view path);

// A name used as it stands, never placed under a folder: one that holds a
// colon (a drive), a network name ("\\server\share\..."), or one the
// system takes as rooted (on Linux "/data").
bool IsFullyQualified(std::string_view name);
// A name on a drive but not from its root ("C:r.ini", "C:"): it lies in the
// current folder of that drive.
bool IsDriveRelative(std::string_view name);

bool IsExistingFile(const std::string& path);
// Why IsExistingFile is false for the path, in the system's words (a
// folder: "Is a directory").
std::string WhyNoFile(const std::string& path);
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
