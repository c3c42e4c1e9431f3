#include "files/file_system.h"

#include "messages/messages.h"
#include "platform/platform.h"
#include "process/diagnostics.h"
#include "process/failure.h"
#include "process/io_result.h"

namespace {

// Paths shorter than this ("C:", "C:\", "\") are taken as present.
constexpr size_t kShortestDirectory = 3;

// The separators of a path, as the path operations see them: "\" and ":",
// and "/" too in a name the system takes as rooted (on Linux "/data/out"),
// up to its first "\": what follows one is a name placed under that folder,
// where "/" is an ordinary character, as it is in every Windows path.
size_t SlashesEnd(std::string_view path) {
    if (!SysIsRootedName(path)) return 0;
    for (size_t at = path.find('\\'); at != std::string_view::npos; at = path.find('\\', at + 1)) {
        if (ClassifyByte(path, at) != ByteClass::Second) return at;
    }
    return path.size();
}

bool IsPathSeparator(std::string_view path, size_t i, size_t slashesEnd) {
    return path[i] == '\\' || path[i] == ':' || (path[i] == '/' && i < slashesEnd);
}

bool IsTrailingSeparator(std::string_view path, size_t i, size_t slashesEnd) {
    return path[i] == '\\' || (path[i] == '/' && i < slashesEnd);
}

// A network name, "\\server\share\...": used as it stands, never placed
// under a folder.
bool IsUncName(std::string_view name) {
    return name.size() >= 2 && name[0] == '\\' && (name[1] == '\\' || name[1] == '/');
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

size_t FindLastSeparator(std::string_view path) {
    const size_t slashesEnd = SlashesEnd(path);
    size_t i = path.size();
    while (i > 0) {
        --i;
        if (!IsPathSeparator(path, i, slashesEnd)) continue;
        if (ClassifyByte(path, i) != ByteClass::Second) return i + 1;
        if (i == 0) break;
        --i;  // the lead byte before a separator-valued second byte
    }
    return 0;
}

std::string DropTrailingBackslash(std::string_view path) {
    if (!path.empty() && IsTrailingSeparator(path, path.size() - 1, SlashesEnd(path)) &&
        ClassifyByte(path, path.size() - 1) == ByteClass::Single) {
        path.remove_suffix(1);
    }
    return std::string(path);
}

std::string PathOf(std::string_view path) { return std::string(path.substr(0, FindLastSeparator(path))); }

std::string DirectoryOf(std::string_view path) {
    const size_t slashesEnd = SlashesEnd(path);
    size_t i = FindLastSeparator(path);
    if (i > 1 && IsTrailingSeparator(path, i - 1, slashesEnd) && !IsPathSeparator(path, i - 2, slashesEnd)) --i;
    return std::string(path.substr(0, i));
}

// Whether a file exists never depends on its date: a file dated before 1980
// or after 2107 (common on Linux: archives with a fixed date) is a file, and
// taking it for absent would empty a destination.
bool IsExistingFile(const std::string& path) {
    SysFindData found;
    SysHandle search = SysFindFirstFile(path, &found);
    if (search == kInvalidHandle) return false;
    SysFindClose(search);
    return (found.attributes & kAttributeDirectory) == 0;
}

std::string WhyNoFile(const std::string& path) {
    uint32_t attributes = SysGetFileAttributes(path);
    if (attributes == kInvalidAttributes) return IoReasonText(static_cast<int32_t>(SysLastError()));
    return std::string((attributes & kAttributeDirectory) != 0 ? kDiagnosticIsFolder : kDiagnosticAbsent);
}

bool IsExistingDirectory(const std::string& path) {
    uint32_t attributes = SysGetFileAttributes(path);
    return attributes != kInvalidAttributes && (attributes & kAttributeDirectory) != 0;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) RaiseFailure(kGeneralFailureKind, std::string(kMakeDirectoryMessage), kPlaceMakeDirectory);
    std::string dir = DropTrailingBackslash(path);
    if (dir.size() < kShortestDirectory) return true;
    if (IsExistingDirectory(dir)) return true;
    std::string parent = PathOf(dir);
    if (parent == dir) return true;
    if (!MakeDirectories(parent)) return false;
    // Another process may make the folder between the look above and this
    // call (two runs making sibling folders): a folder that is there is
    // what was asked for.
    if (SysCreateDirectory(dir)) return true;
    uint32_t code = SysLastError();
    if (code == kErrorAlreadyExists && IsExistingDirectory(dir)) return true;
    // The open that follows fails for want of the folder; this is why.
    NoteFailureCause(kDiagnosticMakeFolder, dir, code);
    return false;
}

bool IsFullyQualified(std::string_view name) {
    return PositionOf(":", name) > 0 || IsUncName(name) || SysIsRootedName(name);
}

bool IsDriveRelative(std::string_view name) {
    return name.size() >= 2 && IsDriveLetter(name[0]) && name[1] == ':' &&
           (name.size() == 2 || (name[2] != '\\' && name[2] != '/'));
}

bool RemoveFile(const std::string& path) { return SysDeleteFile(path); }

std::string LowerText(std::string_view text) {
    std::string lowered(text);
    LowerTextInPlace(lowered.data(), lowered.size());
    return lowered;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
    return text;
}

int32_t PositionOf(std::string_view sub, std::string_view text) {
    sub = sub.substr(0, sub.find('\0'));
    text = text.substr(0, text.find('\0'));
    if (sub.empty() || text.empty()) return 0;
    for (size_t at = text.find(sub); at != std::string_view::npos; at = text.find(sub, at + 1)) {
        if (ClassifyByte(text, at) == ByteClass::Second) continue;
        if (CompareText(false, text.substr(at, sub.size()), sub) == 2) return static_cast<int32_t>(at + 1);
    }
    return 0;
}

std::string_view FirstChars(std::string_view text, int32_t n) {
    if (n <= 0) return {};
    size_t i = 0;
    for (int32_t count = 0; count < n && i < text.size(); ++count) i = NextCharIndex(text, i);
    return text.substr(0, i);
}

std::string_view LastChars(std::string_view text, int32_t n) {
    if (n <= 0) return {};
    // Character starts, counted from the front; the last n of them decide.
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); i = NextCharIndex(text, i)) ++characters;
    if (static_cast<size_t>(n) >= characters) return text;
    size_t skip = characters - static_cast<size_t>(n);
    size_t i = 0;
    for (size_t count = 0; count < skip; ++count) i = NextCharIndex(text, i);
    return text.substr(i);
}

std::string DecimalText(int64_t number) { return std::to_string(number); }
