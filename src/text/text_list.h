#pragma once
// The one list type: an ordered list of texts, never sorted, duplicates
// allowed, with a lookup that ignores letter case. Items keep their storage
// when the list is cleared, so a list refilled for every line allocates
// nothing once it has grown.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TextList {
    std::vector<std::string> items;  // the first `count` are the list
    int32_t count = 0;
};

int32_t AppendItem(TextList& list, std::string_view text);
// Appends an empty item and gives it for filling in place.
std::string& AppendEmptyItem(TextList& list);
int32_t ItemCount(const TextList& list);
// Item i, valid until the list next changes. Outside the list: the failure
// "EStringListError".
std::string_view ItemAt(const TextList& list, int32_t i);
void ReplaceItem(TextList& list, int32_t i, std::string_view text);
// The index of the first item equal to the text ignoring case, or -1.
int32_t IndexOfText(const TextList& list, std::string_view text);
void ClearItems(TextList& list);
// Negative, zero or positive; zero means equal ignoring letter case.
int CompareNoCase(std::string_view first, std::string_view second);
