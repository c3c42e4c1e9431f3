#pragma once
// Comma-text splitting: commas and blanks (every byte from 0x01 to 0x20)
// separate items, double quotes group, and a closing quote ends an item.
// The text is read up to its first NUL byte, character by character of the
// code page: a second byte is never taken for a blank, comma or quote.

#include <cstdint>
#include <string>
#include <string_view>

#include "text/text_list.h"

// Empties the list, then appends the items of the text in order. With a
// limit, splitting stops once the list holds that many items: later items
// cannot change the earlier ones.
void SplitCommaText(std::string_view text, TextList& list, int32_t limit = INT32_MAX);
// Replaces `item` by the item at `index` (from 0) that SplitCommaText would
// list, without keeping the others; false (and `item` empty) when the text
// holds fewer items.
bool CommaTextItem(std::string_view text, int32_t index, std::string& item);
