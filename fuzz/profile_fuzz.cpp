// The Linux profile reader over an arbitrary rule file. For every file: a
// value fits the caller's buffer with its terminator, nothing is written past
// the buffer, and no value holds a NUL byte. For a file of well-formed code
// page 932 text: the value of each key of [AssortRules], in the program's
// buffer of 2048 bytes and in a small one, agrees with a plain reading of the
// rule file format the reader keeps
// (README and platform notes): lines end at runs of CR and LF; blanks around
// lines, names and values go; a line opening with "[" and holding a "]"
// character names a section, up to its last "]"; the first section of a
// name and the first key in it win; a key without "=" answers the default;
// names ignore ASCII case and end at a NUL byte, as a value does; a value in
// a matching pair of quotes loses them; a UTF-8 mark at the start is skipped.
// A file that begins with a byte-order mark is decoded first (UTF-8, UTF-16),
// so the plain reading holds for it only when the rest is ASCII after a UTF-8
// mark.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/platform.h"
#include "scratch_file.h"

namespace {

constexpr uint32_t kProgramBuffer = 2048;  // what the rule file reader asks with
const std::string kSection = "AssortRules";
const std::string kKeys[] = {"ColumnNo", "BaseDir", "Default", "Count", "001", "002"};
const std::string kDefault = "<none>";

fuzz::ScratchFolder* scratch = nullptr;
std::string rulePath;

bool ProfileBlank(unsigned char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && ProfileBlank(fuzz::At(text, 0))) text.remove_prefix(1);
    while (!text.empty() && ProfileBlank(fuzz::At(text, text.size() - 1))) text.remove_suffix(1);
    return text;
}

unsigned FoldAscii(unsigned c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : c; }

// Character by character, ASCII letters folded; a double-byte character
// must match exactly.
bool SameName(std::string_view stored, std::string_view wanted) {
    stored = fuzz::UpToNul(stored);
    size_t i = 0;
    size_t j = 0;
    while (i < stored.size() && j < wanted.size()) {
        size_t a = fuzz::CharLength(stored, i);
        size_t b = fuzz::CharLength(wanted, j);
        if (a != b) return false;
        if (a == 1) {
            if (FoldAscii(fuzz::At(stored, i)) != FoldAscii(fuzz::At(wanted, j))) return false;
        } else if (stored.substr(i, 2) != wanted.substr(j, 2)) {
            return false;
        }
        i += a;
        j += b;
    }
    return i == stored.size() && j == wanted.size();
}

// The position of the last "]" that is a character of its own, not the
// second byte of a double-byte character; npos for none.
size_t LastCloseBracket(std::string_view line) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < line.size(); i += fuzz::CharLength(line, i))
        if (line[i] == ']') found = i;
    return found;
}

// The value of the key, or nothing for the default.
std::optional<std::string> ReferenceLookup(std::string_view file, std::string_view section, std::string_view key) {
    if (file.substr(0, 3) == "\xEF\xBB\xBF") file.remove_prefix(3);
    bool inSection = false;
    bool sectionSeen = false;
    size_t next = 0;
    while (next < file.size()) {
        size_t end = next;
        while (end < file.size() && file[end] != '\r' && file[end] != '\n') ++end;
        std::string_view line = Trim(file.substr(next, end - next));
        next = end;
        while (next < file.size() && (file[next] == '\r' || file[next] == '\n')) ++next;
        if (line.empty()) continue;
        if (line[0] == '[') {
            size_t close = LastCloseBracket(line);
            if (close != std::string_view::npos) {
                if (inSection) return std::nullopt;
                inSection = !sectionSeen && SameName(Trim(line.substr(1, close - 1)), section);
                sectionSeen = sectionSeen || inSection;
                continue;
            }
        }
        if (!inSection) continue;
        size_t equals = line.find('=');
        if (!SameName(Trim(line.substr(0, equals)), key)) continue;
        if (equals == std::string_view::npos) return std::nullopt;
        return std::string(fuzz::UpToNul(Trim(line.substr(equals + 1))));
    }
    return std::nullopt;
}

// A value or default as the caller's buffer receives it.
std::string Delivered(std::string text, uint32_t size) {
    if (text.size() > 1 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0])
        text = text.substr(1, text.size() - 2);
    return text.substr(0, size - 1);
}

std::string Lookup(const std::string& key, uint32_t size, std::string_view input) {
    std::string buffer(size + 16, '\x55');
    uint32_t length = SysGetPrivateProfileString(kSection, key, kDefault, buffer.data(), size, rulePath);
    FUZZ_CHECK(length < size, key + ": " + std::to_string(length) + " bytes for a buffer of " + std::to_string(size));
    FUZZ_CHECK(buffer[length] == '\0', key + ": no terminator after " + std::to_string(length) + " bytes");
    for (size_t i = size; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == '\x55', key + ": written past the buffer");
    std::string value = buffer.substr(0, length);
    FUZZ_CHECK(value.find('\0') == std::string::npos, key + ": a NUL byte in " + fuzz::Shown(value));
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static fuzz::ScratchFolder folder;
    scratch = &folder;
    rulePath = scratch->Path("rules.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzz::PutBytes(rulePath, input);
    SysFlushPrivateProfile(rulePath);  // the service may keep the last input
    const bool marked = input.substr(0, 2) == "\xFF\xFE" || input.substr(0, 2) == "\xFE\xFF" ||
                        (input.substr(0, 3) == "\xEF\xBB\xBF" &&
                         std::any_of(input.begin() + 3, input.end(), [](char c) { return (c & 0x80) != 0; }));
    const bool wellFormed = fuzz::WellFormed(input) && !marked;
    // A small buffer, different from input to input.
    const uint32_t small = 1 + static_cast<uint32_t>(size % 13);
    for (const std::string& key : kKeys) {
        const std::string value = Lookup(key, kProgramBuffer, input);
        FUZZ_CHECK(value.size() <= kProgramBuffer - 1, key);
        if (wellFormed) {
            std::optional<std::string> found = ReferenceLookup(input, kSection, key);
            std::string expected = Delivered(found.value_or(kDefault), kProgramBuffer);
            FUZZ_CHECK(value == expected, key + ": got " + fuzz::Shown(value) + ", the format gives " +
                                              (found ? fuzz::Shown(expected) : "the default"));
            const std::string cut = Lookup(key, small, input);
            std::string expectedCut = Delivered(found.value_or(kDefault), small);
            FUZZ_CHECK(cut == expectedCut, key + ": with " + std::to_string(small) + " bytes got " + fuzz::Shown(cut) +
                                               ", the format gives " + fuzz::Shown(expectedCut));
        }
    }
    return 0;
}
