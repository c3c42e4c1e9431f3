#pragma once
// A scratch folder of the fuzz process's own (in /dev/shm when there is
// one), removed when the process ends normally, and whole-file helpers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

class ScratchFolder {
public:
    ScratchFolder() {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/rowdispatch-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder_ = name.data();
    }
    ~ScratchFolder() {
        for (const std::string& file : made_) unlink(file.c_str());
        rmdir(folder_.c_str());
    }
    std::string Path(const std::string& name) {
        std::string path = folder_ + "/" + name;
        made_.push_back(path);
        return path;
    }

private:
    std::string folder_;
    std::vector<std::string> made_;
};

inline void PutBytes(const std::string& path, std::string_view bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::perror(path.c_str());
        std::abort();
    }
    close(fd);
}

inline std::string GetBytes(const std::string& path) {
    std::string bytes;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "<missing>";
    char block[65536];
    for (ssize_t n; (n = read(fd, block, sizeof block)) > 0;) bytes.append(block, static_cast<size_t>(n));
    close(fd);
    return bytes;
}

inline long long SizeOf(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

}  // namespace fuzz
