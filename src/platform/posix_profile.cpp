// The profile service on Linux: reads a sectioned key-value file the way the
// Windows program under Wine reads it, afresh for every lookup.
//
// Lines end at any run of CR and LF. Blanks (tab, LF, VT, FF, CR, Ctrl-Z and
// space) around a line, a key name and a value are dropped. A line that
// starts with "[" and holds a "]" names a section: the text up to its last
// "]", less the blanks around it. Any other line is a key, up to its first "="; a line
// without "=" is a key without a value, which answers the default. Only the
// first section of a name is read, and in it the first key of a name.
// Names are compared ignoring ASCII case and end at a NUL byte, as does a
// value.
// A value enclosed in a matching pair of quotes loses them.
#include <fstream>
#include <iterator>

#include "platform/platform.h"
#include "platform/posix_internal.h"

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsProfileBlank(char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsProfileBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// Names compare ignoring the case of ASCII letters only, as Wine's profile
// service does; a double-byte character must match exactly.
bool SameName(std::string_view stored, std::string_view wanted) {
    stored = UpToNul(stored);
    size_t i = 0;
    size_t j = 0;
    auto lower = [](uint32_t c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : c; };
    while (i < stored.size() && j < wanted.size()) {
        if (lower(posix::NextChar(stored, i)) != lower(posix::NextChar(wanted, j))) return false;
    }
    return i == stored.size() && j == wanted.size();
}

// The last "]" of the line that is a character of its own, not the second
// byte of a double-byte character.
size_t LastCloseBracket(std::string_view line) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < line.size();) {
        size_t start = i;
        if (posix::NextChar(line, i) == ']') found = start;
    }
    return found;
}

// The value of the key, or nothing when the file, the section or a value
// for the key is missing.
bool FindValue(std::string_view file, std::string_view section, std::string_view key,
               std::string_view* value) {
    if (file.substr(0, kUtf8Mark.size()) == kUtf8Mark) file.remove_prefix(kUtf8Mark.size());
    bool inWantedSection = false;
    bool wantedSectionSeen = false;
    size_t next = 0;
    while (next < file.size()) {
        size_t end = file.find_first_of("\r\n", next);
        if (end == std::string_view::npos) end = file.size();
        std::string_view line = Trim(file.substr(next, end - next));
        next = file.find_first_not_of("\r\n", end);
        if (next == std::string_view::npos) next = file.size();
        if (line.empty()) continue;
        if (line.front() == '[') {
            size_t close = LastCloseBracket(line);
            if (close != std::string_view::npos) {
                if (inWantedSection) return false;  // a later section of that name is not read
                inWantedSection = !wantedSectionSeen && SameName(Trim(line.substr(1, close - 1)), section);
                wantedSectionSeen = wantedSectionSeen || inWantedSection;
                continue;
            }
        }
        if (!inWantedSection) continue;
        size_t equals = line.find('=');
        std::string_view name = Trim(line.substr(0, equals));
        if (!SameName(name, key)) continue;
        if (equals == std::string_view::npos) return false;
        *value = UpToNul(Trim(line.substr(equals + 1)));
        return true;
    }
    return false;
}

// Copies the text less a matching pair of enclosing quotes, cut to the
// buffer, and gives the number of bytes copied.
// (The Windows system, under Wine, also drops the last byte of a quoted value
// that exactly fills the buffer; here nothing of the value is lost.)
uint32_t CopyEntry(std::string_view text, char* buffer, uint32_t size) {
    bool quoted = text.size() > 1 && (text.front() == '"' || text.front() == '\'') &&
                  text.back() == text.front();
    if (quoted) text = text.substr(1, text.size() - 2);
    std::string_view copied = text.substr(0, size - 1);
    copied.copy(buffer, copied.size());
    buffer[copied.size()] = '\0';
    return static_cast<uint32_t>(copied.size());
}

}  // namespace

uint32_t SysGetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultText, char* buffer, uint32_t size,
                                    const std::string& path) {
    if (buffer == nullptr || size == 0) return 0;
    std::string_view fallback = UpToNul(defaultText);
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    std::string_view wantedKey = Trim(UpToNul(key));
    if (wantedKey.empty()) {
        buffer[0] = '\0';
        return 0;
    }
    std::ifstream source(posix::NativePath(path), std::ios::binary);
    bool readable = source.good();
    std::string file;
    if (readable) file.assign(std::istreambuf_iterator<char>(source), std::istreambuf_iterator<char>());
    std::string_view value;
    if (!readable || !FindValue(file, Trim(UpToNul(section)), wantedKey, &value)) value = fallback;
    return CopyEntry(value, buffer, size);
}

void SysFlushPrivateProfile(const std::string& /*path*/) {
    // Every lookup reads the file afresh: there is no copy to drop.
}
