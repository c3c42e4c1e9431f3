#pragma once
// JSON for scripts (--summary=json, Linux): strings of UTF-8 text, and names
// as the system spells them, in UTF-8 whatever the run's code page. The
// objects themselves are put together by their writers (the summary, the
// run's outcome).

#include <cstdint>
#include <string>
#include <string_view>

// `"text"`, quotes, backslashes and control bytes escaped.
void AddJsonString(std::string& out, std::string_view text);
// `"key":` and the string.
void AddJsonField(std::string& out, std::string_view key, std::string_view text);
// `"key":` and the number.
void AddJsonNumber(std::string& out, std::string_view key, int64_t number);
// A name as the system spells it, in UTF-8: the system's names are UTF-8;
// a name that could not be converted for it stands in the data's code page
// and is converted here, U+FFFD for what does not convert.
std::string Utf8Name(const std::string& shown);
