#pragma once
// The one list type: an ordered list of texts, never sorted, duplicates
// allowed, with a lookup that ignores letter case. Items keep their storage
// when the list is cleared, so a list refilled for every line allocates
// nothing once it has grown.
//
// The lookup finds the first item equal to the text, as a scan from the
// first item would; on a list of more than a few items it goes through an
// index of the items by their compare keys (codepage/code_page.h), made as
// the lookups need it, so that its time does not grow with the number of
// items. The index holds one entry an item, and is dropped when an item is
// replaced, the list cleared, or the code page switched.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct TextList {
    std::vector<std::string> items;  // the first `count` are the list
    int32_t count = 0;
    // The items by their compare keys, each key with its items in order;
    // items from `indexed` on are not in it yet.
    // The lookup brings it up to date, so it may change in a const list.
    mutable std::unordered_map<std::string, std::vector<int32_t>> index;
    mutable int32_t indexed = 0;
    mutable uint32_t indexGeneration = 0;  // the code page's, when the index was made
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
