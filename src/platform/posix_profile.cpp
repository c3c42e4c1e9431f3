// The profile service on Linux: reads a sectioned key-value file the way the
// Windows program under Wine reads it.
//
// Lines end at any run of CR and LF. Blanks (tab, LF, VT, FF, CR, Ctrl-Z and
// space) around a line, a key name and a value are dropped. A line that
// starts with "[" and holds a "]" names a section: the text up to its last
// "]", less the blanks around it. Any other line is a key, up to its first
// "="; a line without "=" is a key without a value, which answers the
// default. Only the first section of a name is read, and in it the first key
// of a name; lines before the first section belong to none. Names are
// compared ignoring ASCII case and end at a NUL byte, as does a value. A
// value enclosed in a matching pair of quotes loses them.
//
// A file that begins with a byte-order mark is text of that encoding (UTF-8,
// UTF-16 little- or big-endian): it is decoded, and its text given in the
// run's code page, written as the Windows system writes it (in code page 932
// a close character where there is no exact one, as é for e, else "?"; each
// half of a character beyond U+FFFF a "?"). A file without a mark is taken
// byte for byte.
//
// The file is read once, into an index of its sections and keys, and kept
// until the flush request. Anything that is not a regular file, or is larger
// than kProfileSizeLimit, is refused as unreadable: every lookup then
// answers the default, as for a file that cannot be read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <cerrno>
#include <optional>
#include <unordered_map>

#include "platform/platform.h"
#include "platform/posix_internal.h"
#include "platform/utf8.h"

namespace {

// 1,000 rules of 2 KiB each fit twice over.
constexpr size_t kProfileSizeLimit = 4 * 1024 * 1024;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigMark = "\xFE\xFF";
constexpr uint32_t kReplacementCharacter = 0xFFFD;
// What the Windows system writes for a character that code page 932 lacks.
constexpr char kNoCharacter = '?';

struct BestFit {
    uint16_t character;
    uint16_t code;
};

// The characters the Windows system writes otherwise than glibc's iconv.
constexpr BestFit kBestFit[] = {
#include "platform/cp932_best_fit.inc"
};

void AppendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
        return;
    }
    size_t length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    static constexpr unsigned char kLeadMarks[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    char bytes[4];
    for (size_t k = length - 1; k > 0; --k, code >>= 6) bytes[k] = static_cast<char>(0x80 | (code & 0x3F));
    bytes[0] = static_cast<char>(kLeadMarks[length] | code);
    out.append(bytes, length);
}

// The code point of a well-formed sequence of 2 to 4 bytes.
uint32_t Utf8Code(std::string_view sequence) {
    uint32_t code = static_cast<unsigned char>(sequence[0]) & (0x7F >> sequence.size());
    for (size_t k = 1; k < sequence.size(); ++k) code = (code << 6) | (static_cast<unsigned char>(sequence[k]) & 0x3F);
    return code;
}

// UTF-16 as UTF-8; a surrogate without its pair becomes U+FFFD, and an odd
// last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    auto unitAt = [&](size_t i) {
        uint32_t first = static_cast<unsigned char>(bytes[i]);
        uint32_t second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unitAt(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size()) {
            uint32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (code >= 0xD800 && code <= 0xDFFF) code = kReplacementCharacter;
        AppendUtf8(code, text);
    }
    return text;
}

// One character in code page 932, as the Windows system writes it.
void AppendCp932(uint32_t code, std::string_view utf8Form, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
        return;
    }
    if (code > 0xFFFF) {  // two UTF-16 units, neither a character of its own
        out.append(2, kNoCharacter);
        return;
    }
    auto fit = std::lower_bound(std::begin(kBestFit), std::end(kBestFit), code,
                                [](const BestFit& entry, uint32_t value) { return entry.character < value; });
    if (fit != std::end(kBestFit) && fit->character == code) {
        if (fit->code > 0xFF) out += static_cast<char>(fit->code >> 8);
        out += static_cast<char>(fit->code & 0xFF);
        return;
    }
    std::string converted;
    std::string_view name = posix::NameFromSystem(utf8Form, converted);
    out += name == "\xFF" ? std::string_view(&kNoCharacter, 1) : name;
}

// The text of a file that begins with a byte-order mark, in the run's code
// page; a file without one as it stands.
std::string DecodedText(std::string_view file) {
    std::string text;
    if (file.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
        text = utf8::Sanitized(file.substr(kUtf8Mark.size()));
    } else if (file.substr(0, kUtf16LittleMark.size()) == kUtf16LittleMark) {
        text = Utf16ToUtf8(file.substr(kUtf16LittleMark.size()), false);
    } else if (file.substr(0, kUtf16BigMark.size()) == kUtf16BigMark) {
        text = Utf16ToUtf8(file.substr(kUtf16BigMark.size()), true);
    } else {
        return std::string(file);
    }
    if (posix::TextCharset() == nullptr) return text;  // a UTF-8 run
    std::string inCodePage;
    inCodePage.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        // The text is well-formed: a sequence of one byte is ASCII.
        size_t length = utf8::SequenceLength(text, i);
        std::string_view sequence = std::string_view(text).substr(i, length);
        AppendCp932(length == 1 ? static_cast<unsigned char>(text[i]) : Utf8Code(sequence), sequence, inCodePage);
        i += length;
    }
    return inCodePage;
}

bool IsProfileBlank(char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsProfileBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// The form under which names compare: ASCII letters folded to small ones,
// cut at a NUL byte; a double-byte character stays as it is, so its second
// byte is never folded. Names compare ignoring ASCII case exactly when their
// forms are equal, as Wine's profile service compares them.
std::string NameForm(std::string_view name) {
    name = UpToNul(name);
    std::string form;
    form.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        size_t start = i;
        uint32_t code = posix::NextChar(name, i);
        if (i - start == 1) {
            form += static_cast<char>(posix::AsciiLower(code));
        } else {
            form.append(name.substr(start, i - start));
        }
    }
    return form;
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

// The first line of each key name in a section: its value, or nothing for
// a line without "=".
using Section = std::unordered_map<std::string, std::optional<std::string_view>>;

struct Profile {
    std::string native;  // the Linux name it was read from
    std::string text;
    bool readable = false;
    std::unordered_map<std::string, Section> sections;  // the first of each name
};

void IndexSections(Profile& profile) {
    std::string_view file = profile.text;
    Section* current = nullptr;
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
                auto [entry, isNew] = profile.sections.try_emplace(NameForm(Trim(line.substr(1, close - 1))));
                current = isNew ? &entry->second : nullptr;  // a later section of a name is not read
                continue;
            }
        }
        if (current == nullptr) continue;
        size_t equals = line.find('=');
        std::optional<std::string_view> value;
        if (equals != std::string_view::npos) value = UpToNul(Trim(line.substr(equals + 1)));
        current->try_emplace(NameForm(Trim(line.substr(0, equals))), value);
    }
}

// Reads a regular file of at most kProfileSizeLimit bytes whole.
bool ReadWhole(const std::string& native, std::string& text) {
    int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info;
    bool fits = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                static_cast<uint64_t>(info.st_size) <= kProfileSizeLimit;
    if (fits) {
        // Room for the size seen and one byte more, so that the end is
        // seen in the same read; a file that grows meanwhile gets more room,
        // up to one byte past the limit, which refuses it.
        text.resize(static_cast<size_t>(info.st_size) + 1);
        size_t have = 0;
        while (have <= kProfileSizeLimit) {
            if (have == text.size()) text.resize(std::min(kProfileSizeLimit + 1, 2 * text.size()));
            ssize_t count = read(fd, text.data() + have, text.size() - have);
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) {
                fits = count == 0;
                break;
            }
            have += static_cast<size_t>(count);
        }
        text.resize(have);
        fits = fits && have <= kProfileSizeLimit;
    }
    close(fd);
    if (!fits) text.clear();
    return fits;
}

// The one file read so far, until the flush request drops it.
Profile& KeptProfile() {
    static Profile profile;
    return profile;
}

const Profile& ProfileOf(const std::string& path) {
    Profile& profile = KeptProfile();
    const std::string* native = posix::ToNative(path);
    if (native == nullptr) {  // a name that names no file reads as an unreadable one
        profile = Profile{};
        return profile;
    }
    if (profile.native != *native || profile.native.empty()) {
        profile = Profile{};
        profile.native = *native;
        profile.readable = ReadWhole(*native, profile.text);
        if (profile.readable) {
            profile.text = DecodedText(profile.text);
            IndexSections(profile);
        }
    }
    return profile;
}

// Copies the text less a matching pair of enclosing quotes, cut to the
// buffer, and gives the number of bytes copied.
// (The Windows system, under Wine, also drops the last byte of a quoted value
// that exactly fills the buffer; here nothing of the value is lost.)
uint32_t CopyEntry(std::string_view text, char* buffer, uint32_t size) {
    bool quoted = text.size() > 1 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front();
    if (quoted) text = text.substr(1, text.size() - 2);
    std::string_view copied = text.substr(0, size - 1);
    copied.copy(buffer, copied.size());
    buffer[copied.size()] = '\0';
    return static_cast<uint32_t>(copied.size());
}

}  // namespace

uint32_t SysGetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultText,
                                    char* buffer, uint32_t size, const std::string& path) {
    if (buffer == nullptr || size == 0) return 0;
    std::string_view fallback = UpToNul(defaultText);
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    std::string_view wantedKey = Trim(UpToNul(key));
    if (wantedKey.empty()) {
        buffer[0] = '\0';
        return 0;
    }
    const Profile& profile = ProfileOf(path);
    std::string_view value = fallback;
    if (profile.readable) {
        auto found = profile.sections.find(NameForm(Trim(UpToNul(section))));
        if (found != profile.sections.end()) {
            auto entry = found->second.find(NameForm(wantedKey));
            if (entry != found->second.end() && entry->second) value = *entry->second;
        }
    }
    return CopyEntry(value, buffer, size);
}

void SysFlushPrivateProfile(const std::string& /*path*/) { KeptProfile() = Profile{}; }
