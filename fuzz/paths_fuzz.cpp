// The path and text operations over arbitrary bytes, against the double-byte
// rules of code page 932 worked out by walking each text from its start:
// a "\" or ":" that is the second byte of a character never separates; the
// directory and path parts are prefixes that end where the rules say;
// trimming, searching, first and last characters, lower-casing, the
// program's own name and the Linux name of a Windows path follow their
// rules; a name with a colon is used as it stands.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "assort/destinations.h"
#include "files/file_system.h"
#include "fuzz_support.h"
#include "platform/posix_internal.h"
#include "process/failure.h"
#include "text/text_list.h"

namespace {

using fuzz::Kind;

// This build runs on Linux, where a name that begins with "/" is rooted and
// "/" separates in it as "\\" does, up to its first "\\" that is a character
// of its own: what follows is a Windows name, where "/" is a plain byte.
bool Rooted(std::string_view path) { return !path.empty() && path[0] == '/'; }
size_t SlashesEnd(std::string_view path) {
    if (!Rooted(path)) return 0;
    std::vector<Kind> kinds = fuzz::Kinds(path);
    for (size_t i = 0; i < path.size(); ++i)
        if (path[i] == '\\' && kinds[i] != Kind::Second) return i;
    return path.size();
}
bool Separator(std::string_view path, size_t i) {
    return path[i] == '\\' || path[i] == ':' || (path[i] == '/' && i < SlashesEnd(path));
}
bool Trailing(std::string_view path, size_t i) { return path[i] == '\\' || (path[i] == '/' && i < SlashesEnd(path)); }

// 1-based position of the last separator that is not a second byte; 0 for none.
size_t ReferenceLastSeparator(std::string_view path) {
    std::vector<Kind> kinds = fuzz::Kinds(path);
    for (size_t i = path.size(); i > 0; --i)
        if (Separator(path, i - 1) && kinds[i - 1] != Kind::Second) return i;
    return 0;
}

std::string ReferenceDirectoryOf(std::string_view path) {
    size_t i = ReferenceLastSeparator(path);
    if (i > 1 && Trailing(path, i - 1) && !Separator(path, i - 2)) --i;
    return std::string(path.substr(0, i));
}

// Characters walked from the start, a lead byte taking the next byte
// whatever it is, unless the text ends.
size_t CharCount(std::string_view text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); i += fuzz::CharLength(text, i)) ++count;
    return count;
}

int32_t ReferencePositionOf(std::string_view sub, std::string_view text) {
    sub = fuzz::UpToNul(sub);
    text = fuzz::UpToNul(text);
    if (sub.empty() || text.empty()) return 0;
    std::vector<Kind> kinds = fuzz::Kinds(text);
    for (size_t at = 0; at + sub.size() <= text.size(); ++at)
        if (text.substr(at, sub.size()) == sub && kinds[at] != Kind::Second) return static_cast<int32_t>(at + 1);
    return 0;
}

void CheckPathParts(std::string_view input, std::string_view path) {
    const std::string pathOf = PathOf(path);
    const std::string directoryOf = DirectoryOf(path);
    const size_t last = ReferenceLastSeparator(path);
    FUZZ_CHECK(FindLastSeparator(path) == last,
               "last separator " + std::to_string(FindLastSeparator(path)) + ", rules give " + std::to_string(last));
    FUZZ_CHECK(pathOf == path.substr(0, last), "PathOf gives " + fuzz::Shown(pathOf));
    FUZZ_CHECK(pathOf.empty() || Separator(path, pathOf.size() - 1), "PathOf ends in " + fuzz::Shown(pathOf));
    FUZZ_CHECK(PathOf(pathOf) == pathOf, "PathOf of PathOf differs: " + fuzz::Shown(PathOf(pathOf)));
    FUZZ_CHECK(
        directoryOf == ReferenceDirectoryOf(path),
        "DirectoryOf gives " + fuzz::Shown(directoryOf) + ", rules give " + fuzz::Shown(ReferenceDirectoryOf(path)));

    // At most one backslash (or "/" in a rooted name) goes, and only one
    // that is a character of its own.
    std::vector<Kind> kinds = fuzz::Kinds(path);
    const bool drops = !path.empty() && Trailing(path, path.size() - 1) && kinds.back() == Kind::Single;
    const std::string dropped = DropTrailingBackslash(path);
    FUZZ_CHECK(dropped == path.substr(0, path.size() - (drops ? 1 : 0)),
               "DropTrailingBackslash gives " + fuzz::Shown(dropped));

    // The program's own name: everything after the last backslash that
    // separates.
    size_t nameStart = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (path[i] == '\\' && kinds[i] != Kind::Second) nameStart = i + 1;
    FUZZ_CHECK(ModuleNameOf(path) == path.substr(nameStart), "module name " + fuzz::Shown(ModuleNameOf(path)));

    for (size_t i = 0; i < path.size(); ++i) {
        Kind want = kinds[i];
        ByteClass got = ClassifyByte(path, i);
        bool same = (want == Kind::Single && got == ByteClass::Single) ||
                    (want == Kind::Lead && got == ByteClass::Lead) ||
                    (want == Kind::Second && got == ByteClass::Second);
        FUZZ_CHECK(same, "byte " + std::to_string(i) + " classed " + std::to_string(static_cast<int>(got)));
    }
}

void CheckTextOperations(std::string_view input, std::string_view text, std::string_view other) {
    // Trimming takes bytes of 0x20 and below from both ends, nothing else.
    std::string_view trimmed = TrimBlanks(text);
    size_t front = 0;
    while (front < text.size() && fuzz::At(text, front) <= 0x20) ++front;
    size_t back = text.size();
    while (back > front && fuzz::At(text, back - 1) <= 0x20) --back;
    FUZZ_CHECK(trimmed == text.substr(front, back - front), "TrimBlanks gives " + fuzz::Shown(trimmed));

    FUZZ_CHECK(PositionOf(":", text) == ReferencePositionOf(":", text),
               "PositionOf(\":\") gives " + std::to_string(PositionOf(":", text)));
    FUZZ_CHECK(PositionOf(other, text) == ReferencePositionOf(other, text),
               "PositionOf(" + fuzz::Shown(other) + ") gives " + std::to_string(PositionOf(other, text)));

    // First and last characters: a prefix and a suffix, as many characters
    // as asked for or the whole text.
    const size_t characters = CharCount(text);
    for (int32_t n : {-1, 0, 1, 2, 3, 7}) {
        std::string_view first = FirstChars(text, n);
        std::string_view last = LastChars(text, n);
        size_t want = n <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), characters);
        FUZZ_CHECK(text.substr(0, first.size()) == first && CharCount(first) == want,
                   "FirstChars " + std::to_string(n) + " gives " + fuzz::Shown(first));
        FUZZ_CHECK(last.size() <= text.size() && text.substr(text.size() - last.size()) == last,
                   "LastChars " + std::to_string(n) + " gives " + fuzz::Shown(last));
        // The suffix starts on a character of the walk from the start.
        size_t start = text.size() - last.size();
        size_t walked = 0;
        size_t counted = 0;
        while (walked < start) {
            walked += fuzz::CharLength(text, walked);
            ++counted;
        }
        FUZZ_CHECK(walked == start && characters - counted == want,
                   "LastChars " + std::to_string(n) + " gives " + fuzz::Shown(last));
    }

    // Lowering keeps the length and every character boundary, never changes
    // a second byte, lowers exactly the ASCII capitals that stand alone,
    // keeps every other single byte, is done after one pass, and compares
    // equal to the text ignoring case.
    const std::string lower = LowerText(text);
    FUZZ_CHECK(lower.size() == text.size(), "LowerText changes the length");
    for (size_t i = 0; i < text.size();) {
        size_t length = fuzz::CharLength(text, i);
        unsigned char c = fuzz::At(text, i);
        if (length == 1) {
            unsigned char want = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
            FUZZ_CHECK(fuzz::At(lower, i) == want,
                       "LowerText byte " + std::to_string(i) + " becomes " + fuzz::Shown(lower.substr(i, 1)));
        } else {
            FUZZ_CHECK(fuzz::Lead(fuzz::At(lower, i)), "a lead byte lowered into a single at " + std::to_string(i));
            if (!(c == 0x82 || c == 0x83 || c == 0x84 || c == 0x87))
                FUZZ_CHECK(lower.substr(i, 2) == text.substr(i, 2),
                           "a character without case changed at " + std::to_string(i));
        }
        i += length;
    }
    FUZZ_CHECK(LowerText(lower) == lower, "LowerText of LowerText differs: " + fuzz::Shown(LowerText(lower)));
    FUZZ_CHECK(CompareNoCase(text, lower) == 0, "the text and its lowered form differ ignoring case");
    FUZZ_CHECK(CompareNoCase(text, text) == 0, "the text differs from itself");
    if (LowerText(other) == lower)
        FUZZ_CHECK(CompareNoCase(other, text) == 0,
                   "equal lowered, but not equal ignoring case: " + fuzz::Shown(other));

    // Two ASCII texts: the shorter first, else the first byte that differs
    // once capitals are small decides.
    auto ascii = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    if (ascii(text) && ascii(other)) {
        int want = 0;
        if (text.size() != other.size()) {
            want = text.size() < other.size() ? -1 : 1;
        } else {
            for (size_t i = 0; i < text.size() && want == 0; ++i) {
                auto small = [](char c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : static_cast<int>(c); };
                int x = small(text[i]);
                int y = small(other[i]);
                if (x != y) want = x < y ? -1 : 1;
            }
        }
        FUZZ_CHECK(CompareNoCase(text, other) == want,
                   "ASCII texts compare as " + std::to_string(CompareNoCase(text, other)) + ": " + fuzz::Shown(other));
    }
}

void CheckNames(std::string_view input, std::string_view name, std::string_view base) {
    // A name with a colon, a rooted one, or a network name (a backslash and
    // a second separator) stands as it is; any other goes under the base.
    std::string path = ResolvePath(name, base);
    bool network = name.size() >= 2 && name[0] == '\\' && (name[1] == '\\' || name[1] == '/');
    if (PositionOf(":", name) > 0 || Rooted(name) || network) {
        FUZZ_CHECK(path == name, "a name with a colon, a root or a network name was changed: " + fuzz::Shown(path));
    } else {
        FUZZ_CHECK(path == std::string(base) + "\\" + std::string(name),
                   "placed under the base as " + fuzz::Shown(path));
    }

    // The Linux name: a drive and its separator, or a leading separator, is
    // the root; a drive alone the current folder; then every backslash that
    // is a character of its own becomes "/", every other byte stays.
    name = name.substr(0, name.find('\0'));  // a zero byte ends a name
    std::string_view rest = name;
    std::string root;
    bool drive = name.size() >= 2 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) &&
                 name[1] == ':';
    if (drive) {
        rest.remove_prefix(2);
        if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) {
            root = "/";
            rest.remove_prefix(1);
        }
    } else if (!name.empty() && (name[0] == '\\' || name[0] == '/')) {
        root = "/";
        rest.remove_prefix(1);
    }
    // A network name names no Linux file: refused, never taken as rooted.
    if (name.size() >= 2 && name[0] == '\\' && (name[1] == '\\' || name[1] == '/')) {
        FUZZ_CHECK(posix::ToNative(std::string(name)) == nullptr, "a network name was taken as a Linux name");
        return;
    }
    // "*" and "?" are no characters of a file name (never a second byte).
    if (name.find_first_of("*?") != std::string_view::npos) {
        FUZZ_CHECK(posix::ToNative(std::string(name)) == nullptr, "a name with * or ? was taken as a Linux name");
        return;
    }
    std::string want = root;
    for (size_t i = 0; i < rest.size();) {
        size_t length = fuzz::CharLength(rest, i);
        if (length == 1 && rest[i] == '\\') {
            want += '/';
        } else {
            want.append(rest.substr(i, length));
        }
        i += length;
    }
    if (want.empty() && drive) want = ".";
    // The system gets that name in its own encoding; one that does not
    // convert, or names nothing, is refused rather than changed.
    const std::string* converted = posix::ToNative(std::string(name));
    std::string system;
    if (want.empty() || !posix::NameToSystem(want, system)) {
        FUZZ_CHECK(converted == nullptr, "a name that names nothing became " + fuzz::Shown(*converted));
        return;
    }
    FUZZ_CHECK(converted != nullptr, "a name that converts was refused");
    const std::string& native = *converted;
    FUZZ_CHECK(native == system, "the Linux name is " + fuzz::Shown(native) + ", rules give " + fuzz::Shown(system));
    if (root.empty())
        FUZZ_CHECK(native.empty() || native[0] != '/', "a relative name became absolute: " + fuzz::Shown(native));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte of a 0x01 splits the input into two texts.
    size_t split = input.find('\x01');
    std::string_view first = input.substr(0, split);
    std::string_view second = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    CheckPathParts(input, input);
    CheckPathParts(input, first);
    CheckTextOperations(input, input, second);
    CheckTextOperations(input, first, second);
    CheckNames(input, first, second);
    CheckNames(input, second, first);
    return 0;
}
