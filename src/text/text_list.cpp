#include "text/text_list.h"

#include "codepage/code_page.h"
#include "messages/messages.h"
#include "process/failure.h"

namespace {

void CheckIndex(const TextList& list, int32_t i) {
    if (i < 0 || i >= list.count) RaiseFailure(kListIndexKind, WithNumber(kListIndexMessage, i), kPlaceListIndex);
}

}  // namespace

std::string& AppendEmptyItem(TextList& list) {
    if (static_cast<size_t>(list.count) == list.items.size()) list.items.emplace_back();
    std::string& item = list.items[static_cast<size_t>(list.count++)];
    item.clear();
    return item;
}

int32_t AppendItem(TextList& list, std::string_view text) {
    AppendEmptyItem(list).assign(text);
    return list.count - 1;
}

int32_t ItemCount(const TextList& list) { return list.count; }

std::string_view ItemAt(const TextList& list, int32_t i) {
    CheckIndex(list, i);
    return list.items[static_cast<size_t>(i)];
}

void ReplaceItem(TextList& list, int32_t i, std::string_view text) {
    CheckIndex(list, i);
    list.items[static_cast<size_t>(i)].assign(text);
}

int32_t IndexOfText(const TextList& list, std::string_view text) {
    for (int32_t i = 0; i < list.count; ++i) {
        if (CompareNoCase(list.items[static_cast<size_t>(i)], text) == 0) return i;
    }
    return -1;
}

void ClearItems(TextList& list) { list.count = 0; }

int CompareNoCase(std::string_view first, std::string_view second) {
    // A failed comparison (0) counts as not equal.
    int answer = CompareText(true, first, second);
    return answer == 0 ? -2 : answer - 2;
}
