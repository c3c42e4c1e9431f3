#pragma once
// Integers written as text: the rule file's values and the line counts kept
// beside the rules.

#include <cstdint>
#include <string_view>

// The 32-bit integer the text spells, in decimal or in hexadecimal after
// "$", "x" or "0x", or the default; there is no partial result.
int32_t IntegerOrDefault(std::string_view text, int32_t defaultValue);
// The same rules over 64 bits, for the line counts.
int64_t CountOrDefault(std::string_view text, int64_t defaultValue);
