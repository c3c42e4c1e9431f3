#include "assort/value_files.h"

#include <algorithm>

#include "assort/destinations.h"
#include "codepage/code_page.h"
#include "files/file_system.h"
#include "platform/platform.h"
#include "text/text_list.h"

namespace {

// Bytes that no Windows file name holds, and "%", which starts an escape.
bool IsForbiddenByte(unsigned char byte) {
    return byte < 0x20 || std::string_view("\\/:*?\"<>|%").find(static_cast<char>(byte)) != std::string_view::npos;
}

void AppendEscaped(std::string& name, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    name += '%';
    name += kHex[byte >> 4];
    name += kHex[byte & 0xF];
}

// The text is the name, ASCII letters in any case.
bool IsNameIgnoringCase(std::string_view text, std::string_view name) {
    return text.size() == name.size() && std::equal(text.begin(), text.end(), name.begin(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 0x20) : a) == b;
           });
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, in any case, alone or
// before a dot: Windows opens the device, whatever follows the dot.
bool IsDeviceName(std::string_view value) {
    std::string_view stem = value.substr(0, value.find('.'));
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL"}) {
        if (IsNameIgnoringCase(stem, device)) return true;
    }
    if (stem.size() != 4 || stem[3] < '1' || stem[3] > '9') return false;
    return IsNameIgnoringCase(stem.substr(0, 3), "COM") || IsNameIgnoringCase(stem.substr(0, 3), "LPT");
}

bool IsSeparatorByte(char c) { return c == '\\' || c == '/'; }

// The position of the first separator from `from` on, walking characters.
size_t NextSeparator(std::string_view path, size_t from) {
    for (size_t i = from; i < path.size(); i = NextCharIndex(path, i)) {
        if (IsSeparatorByte(path[i])) return i;
    }
    return path.size();
}

constexpr size_t kFirstSlots = 64;  // a power of two

// A slot keeps the upper half of a hash, which also gives its position.
uint32_t HashTag(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }
size_t Next(const FoldIndex& index, size_t at) { return (at + 1) & (index.slots.size() - 1); }

void Place(FoldIndex& index, FoldIndex::Slot slot) {
    size_t at = slot.hash & (index.slots.size() - 1);
    while (index.slots[at].number != 0) at = Next(index, at);
    index.slots[at] = slot;
    ++index.count;
}

void Insert(FoldIndex& index, uint64_t hash, size_t number) {
    // Twice the room when half full, so that probes stay short.
    if (2 * (index.count + 1) > index.slots.size()) {
        std::vector<FoldIndex::Slot> old(std::max(kFirstSlots, 2 * index.slots.size()));
        old.swap(index.slots);
        index.count = 0;
        for (const FoldIndex::Slot& slot : old) {
            if (slot.number != 0) Place(index, slot);
        }
    }
    Place(index, {HashTag(hash), static_cast<uint32_t>(number + 1)});
}

// The first number whose text `same` accepts among those of the hash.
template <typename Same>
size_t Find(const FoldIndex& index, uint64_t hash, Same same) {
    if (index.slots.empty()) return SIZE_MAX;
    for (size_t at = HashTag(hash) & (index.slots.size() - 1); index.slots[at].number != 0; at = Next(index, at)) {
        const FoldIndex::Slot& slot = index.slots[at];
        if (slot.hash == HashTag(hash) && same(slot.number - 1)) return slot.number - 1;
    }
    return SIZE_MAX;
}

// The name under which the folder of the values' files holds the part
// (a file, or a folder when the pattern goes on), letter case ignored:
// the part itself when the folder holds it so, or when it holds no such
// name. The folder is read once, at the first value's file.
std::string ExistingSpelling(ValueFiles& files, const std::string& part) {
    if (!files.listed) {
        files.listed = true;
        if (!files.folderPart.empty()) SysListFolder(files.folderPart, files.names);
        for (size_t i = 0; i < files.names.size(); ++i) {
            FoldValue(files.names[i], files.folded);
            Insert(files.namesIndex, FoldHash(files.folded), i);
        }
    }
    FoldValue(part, files.folded);
    uint64_t hash = FoldHash(files.folded);
    if (Find(files.namesIndex, hash, [&](size_t i) { return files.names[i] == part; }) != SIZE_MAX) return part;
    size_t found = Find(files.namesIndex, hash, [&](size_t i) { return CompareNoCase(files.names[i], part) == 0; });
    return found == SIZE_MAX ? part : files.names[found];
}

// The path of a value's file; with /c its earlier file is removed.
std::string ValuePath(ValueFiles& files, std::string_view value) {
    std::string part = files.partBefore + ValueFileName(value) + files.partAfter;
    if (files.writing) {
        std::string existing = ExistingSpelling(files, part);
        // A file is made anew under the value's spelling; a folder that
        // holds the files stays, under its own.
        if (files.clearing) RemoveIfPresent(files.folderPart + existing + files.rest);
        if (!files.clearing || !files.rest.empty()) part = existing;
    }
    return files.folderPart + part + files.rest;
}

}  // namespace

std::string ValueFileName(std::string_view value) {
    std::string name;
    name.reserve(value.size());
    size_t i = 0;
    if (IsDeviceName(value)) {
        AppendEscaped(name, static_cast<unsigned char>(value[0]));
        i = 1;
    }
    while (i < value.size()) {
        size_t length = WellFormedCharLength(value, i);
        unsigned char byte = static_cast<unsigned char>(value[i]);
        bool last = i + 1 == value.size();
        if (length == 0 || (length == 1 && (IsForbiddenByte(byte) || (last && (byte == '.' || byte == ' '))))) {
            AppendEscaped(name, byte);
            ++i;
            continue;
        }
        name.append(value, i, length);
        i += length;
    }
    return name;
}

// The rule keys' compare key: values the comparison finds equal have equal
// keys.
void FoldValue(std::string_view value, std::string& folded) {
    if (CompareKey(value, folded)) return;
    // No key from the system: the letters made small, which still finds a
    // value spelled again in any case of the same letters.
    folded.assign(value);
    LowerTextInPlace(folded.data(), folded.size());
}

uint64_t FoldHash(std::string_view folded) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : folded) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

void StartValueFiles(ValueFiles& files, const RuleSet& rules, bool writing, bool clearing) {
    files.active = !rules.ValueFile.empty();
    files.writing = writing;
    files.clearing = clearing;
    if (!files.active) return;
    std::string pattern = ResolvePath(rules.ValueFile, rules.BaseDir);
    size_t star = pattern.rfind('*');
    size_t folderEnd = FindLastSeparator(std::string_view(pattern).substr(0, star));
    size_t partEnd = NextSeparator(pattern, star + 1);
    files.folderPart = pattern.substr(0, folderEnd);
    files.partBefore = pattern.substr(folderEnd, star - folderEnd);
    files.partAfter = pattern.substr(star + 1, partEnd - star - 1);
    files.rest = pattern.substr(partEnd);
}

size_t FindValueFile(ValueFiles& files, RuleSet& rules, std::string_view value, bool& added) {
    added = false;
    // Lines of one value often come together.
    if (files.last != SIZE_MAX && rules.Values[files.last].value == value) return files.last;
    FoldValue(value, files.folded);
    uint64_t hash = FoldHash(files.folded);
    size_t found = Find(files.index, hash, [&](size_t i) { return CompareNoCase(rules.Values[i].value, value) == 0; });
    if (found == SIZE_MAX) {
        found = rules.Values.size();
        rules.Values.push_back({std::string(value), ValuePath(files, value), 0});
        Insert(files.index, hash, found);
        WidenKeyWidth(rules, TextColumns(value));
        added = true;
    }
    files.last = found;
    return found;
}
