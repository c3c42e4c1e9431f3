// File-system queries and changes on Linux: the directory search with
// Windows patterns, attributes, making directories and deleting files.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/platform.h"
#include "platform/posix_internal.h"

namespace {

// A bare "*.*" matches every name, as on Windows. ASCII letters match
// ignoring case; any other character (by the run's character rule) matches
// only itself.
bool MatchPattern(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*") pattern = "*";
    size_t p = 0;
    size_t n = 0;
    size_t starP = std::string_view::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
            continue;
        }
        if (p < pattern.size()) {
            size_t pNext = p;
            size_t nNext = n;
            uint32_t want = posix::NextChar(pattern, pNext);
            uint32_t have = posix::NextChar(name, nNext);
            if (want == '?' || posix::AsciiLower(want) == posix::AsciiLower(have)) {
                p = pNext;
                n = nNext;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        p = starP + 1;
        posix::NextChar(name, starN);
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// Names in the order a search yields them: "." and ".." first, then by
// letters ignoring ASCII case, then by bytes.
bool SearchOrder(const std::string& a, const std::string& b) {
    auto rank = [](const std::string& s) { return s == "." ? 0 : s == ".." ? 1 : 2; };
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        uint32_t x = posix::AsciiLower(static_cast<unsigned char>(a[i]));
        uint32_t y = posix::AsciiLower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

void FillFindData(const struct stat& info, SysFindData* found) {
    found->attributes = S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeNormal;
}

// Searches keep nothing open: the first entry is found at once.
constexpr SysHandle kFinishedSearch = 0x7FFF0000;

// Why a file may not be deleted, or nothing. Only regular files go, and symbolic
// links (the link, never what it names); devices, pipes and sockets are no
// files on Windows, and a running program or a file held open is in use.
posix::Refused DeleteRefusal(const std::string& native, const struct stat& link) {
    if (S_ISLNK(link.st_mode)) return {};
    if (!S_ISREG(link.st_mode)) return posix::NotRegularRefusal(link);
    if (!posix::HasWriteBit(link)) return {kErrorAccessDenied, posix::kWordsReadOnly};
    if (posix::IsRunningProgram(link)) return {kErrorAccessDenied, posix::kWordsRunningProgram};
    // No handle of ours shares deleting, so an open file stays.
    if (posix::OpenHereOn(link)) return {kErrorSharingViolation, posix::kWordsOpenHere};
    int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return {};
    bool locked = posix::WriteLockedElsewhere(fd);
    close(fd);
    if (locked) return {kErrorSharingViolation, posix::kWordsLocked};
    return {};
}

}  // namespace

SysHandle SysFindFirstFile(const std::string& path, SysFindData* found) {
    const std::string* nativeName = posix::ToNative(path, true);
    if (nativeName == nullptr) return kInvalidHandle;
    const std::string& native = *nativeName;
    size_t slash = native.find_last_of('/');
    std::string_view last = slash == std::string::npos ? std::string_view(native)
                                                       : std::string_view(native).substr(slash + 1);
    struct stat info;
    if (last.find_first_of("*?") == std::string_view::npos) {
        if (stat(native.c_str(), &info) != 0) {
            posix::FailFromErrno(native);
            return kInvalidHandle;
        }
        FillFindData(info, found);
        return kFinishedSearch;
    }
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);
    DIR* listing = opendir(dir.c_str());
    if (listing == nullptr) {
        if (errno == ENOENT) {
            posix::SetLastError(kErrorPathNotFound, posix::SystemWords(ENOENT));
        } else {
            posix::FailFromErrno(dir);
        }
        return kInvalidHandle;
    }
    // The pattern and the listed names are matched in the run's code page.
    std::string patternText;
    std::string nameText;
    std::string_view pattern = posix::NameFromSystem(last, patternText);
    std::vector<std::string> matches;
    while (struct dirent* entry = readdir(listing)) {
        if (MatchPattern(pattern, posix::NameFromSystem(entry->d_name, nameText))) matches.emplace_back(entry->d_name);
    }
    closedir(listing);
    std::sort(matches.begin(), matches.end(), SearchOrder);
    for (const std::string& name : matches) {
        std::string full = (dir == "/" ? "" : dir) + "/" + name;
        if (stat(full.c_str(), &info) == 0) {
            FillFindData(info, found);
            return kFinishedSearch;
        }
    }
    posix::SetLastError(kErrorFileNotFound, posix::SystemWords(ENOENT));
    return kInvalidHandle;
}

bool SysListFolder(const std::string& folder, std::vector<std::string>& names) {
    const std::string* nativeName = posix::ToNative(folder);
    if (nativeName == nullptr) return false;
    DIR* listing = opendir(nativeName->c_str());
    if (listing == nullptr) return posix::FailFromErrno(*nativeName);
    std::string nameText;
    while (struct dirent* entry = readdir(listing)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(posix::NameFromSystem(name, nameText));
    }
    closedir(listing);
    return true;
}

bool SysFindClose(SysHandle search) {
    if (search != kFinishedSearch) {
        posix::SetLastError(kErrorInvalidHandle, posix::SystemWords(EBADF));
        return false;
    }
    return true;
}

uint32_t SysGetFileAttributes(const std::string& path) {
    const std::string* nativeName = posix::ToNative(path);
    if (nativeName == nullptr) return kInvalidAttributes;
    const std::string& native = *nativeName;
    struct stat info;
    if (stat(native.c_str(), &info) != 0) {
        posix::FailFromErrno(native);
        return kInvalidAttributes;
    }
    SysFindData data;
    FillFindData(info, &data);
    return data.attributes;
}

bool SysCreateDirectory(const std::string& path) {
    const std::string* nativeName = posix::ToNative(path);
    if (nativeName == nullptr) return false;
    const std::string& native = *nativeName;
    return mkdir(native.c_str(), 0777) == 0 || posix::FailFromErrno(native);
}

bool SysDeleteFile(const std::string& path) {
    const std::string* nativeName = posix::ToNative(path);
    if (nativeName == nullptr) return false;
    const std::string& native = *nativeName;
    struct stat link;
    if (lstat(native.c_str(), &link) != 0) return posix::FailFromErrno(native);
    if (posix::Refused refusal = DeleteRefusal(native, link)) {
        posix::SetLastError(refusal.code, refusal.reason);
        return false;
    }
    return unlink(native.c_str()) == 0 || posix::FailFromErrno(native);
}

bool SysFlushFolder(const std::string& path) {
    const std::string* nativeName = posix::ToNative(path);
    if (nativeName == nullptr) return false;
    const std::string& native = *nativeName;
    int fd = open(native.empty() ? "." : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return posix::FailFromErrno(native);
    bool flushed = fsync(fd) == 0 || posix::FailFromErrno(native);
    close(fd);
    return flushed;
}
