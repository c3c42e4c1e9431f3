#include "text/text_list.h"

#include "codepage/code_page.h"
#include "messages/messages.h"
#include "process/failure.h"

namespace {

void CheckIndex(const TextList& list, int32_t i) {
    if (i < 0 || i >= list.count) RaiseFailure(kListIndexKind, WithNumber(kListIndexMessage, i), kPlaceListIndex);
}

// Lists this short are scanned: a few comparisons cost less than a key.
constexpr int32_t kIndexedFrom = 8;

int32_t ScanForText(const TextList& list, std::string_view text) {
    for (int32_t i = 0; i < list.count; ++i) {
        if (CompareNoCase(list.items[static_cast<size_t>(i)], text) == 0) return i;
    }
    return -1;
}

void DropIndex(const TextList& list) {
    if (list.indexed == 0) return;
    list.index.clear();
    list.indexed = 0;
}

// Brings the index up to the last item; false when an item has no key, and
// the list is then scanned.
bool UpdateIndex(const TextList& list, std::string& key) {
    if (list.indexGeneration != CodePageGeneration()) {
        DropIndex(list);
        list.indexGeneration = CodePageGeneration();
    }
    for (; list.indexed < list.count; ++list.indexed) {
        if (!CompareKey(list.items[static_cast<size_t>(list.indexed)], key)) {
            DropIndex(list);
            return false;
        }
        list.index[key].push_back(list.indexed);
    }
    return true;
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
    DropIndex(list);
    list.items[static_cast<size_t>(i)].assign(text);
}

int32_t IndexOfText(const TextList& list, std::string_view text) {
    thread_local std::string key;
    if (list.count < kIndexedFrom || !UpdateIndex(list, key) || !CompareKey(text, key)) {
        return ScanForText(list, text);
    }
    auto found = list.index.find(key);
    if (found == list.index.end()) return -1;
    // Equal keys: the first item that the comparison finds equal.
    for (int32_t i : found->second) {
        if (CompareNoCase(list.items[static_cast<size_t>(i)], text) == 0) return i;
    }
    return -1;
}

void ClearItems(TextList& list) {
    DropIndex(list);
    list.count = 0;
}

int CompareNoCase(std::string_view first, std::string_view second) {
    // A failed comparison (0) counts as not equal.
    int answer = CompareText(true, first, second);
    return answer == 0 ? -2 : answer - 2;
}
