#pragma once
// What the benchmark's two floor programs share: the rule file the
// benchmark writes, read into destinations and lowered keys, and the
// native paths of the destinations.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct Destination {
    std::string path;  // native
    size_t same;       // first destination with the same lowered path
    int64_t count = 0;
};

struct Rule {
    std::string key;  // lowered
    size_t destination;
};

[[noreturn]] inline void Fail(const char* what, const std::string& name) {
    std::fprintf(stderr, "floor: %s %s: %s\n", what, name.c_str(), std::strerror(errno));
    std::exit(1);
}

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

inline std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Lower(c);
    return out;
}

// "Z:\a\b" and "\a\b" are "/a/b"; "a\b" stays relative.
inline std::string NativeOf(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') path.remove_prefix(2);
    std::string out(path);
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

inline void MakeParents(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string dir = path.substr(0, slash);
        if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) Fail("cannot create", dir);
    }
}

struct Rules {
    int column = 0;
    std::vector<Destination> destinations;  // 0: the default
    std::vector<Rule> rules;
};

inline Rules ReadRules(const char* name) {
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) Fail("cannot open", name);
    std::string text;
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
    std::fclose(file);

    Rules out;
    std::string baseDir;
    std::string defaultFile = "Default.csv";
    std::vector<std::pair<std::string, std::string>> entries;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view key = line.substr(0, equals);
        std::string_view value = line.substr(equals + 1);
        if (key == "ColumnNo") out.column = std::atoi(std::string(value).c_str());
        else if (key == "BaseDir") baseDir = value;
        else if (key == "Default") defaultFile = value;
        else if (value.size() > 2 && value.front() == '[' && value.back() == ']') {
            std::string_view inner = value.substr(1, value.size() - 2);
            size_t comma = inner.find(',');
            if (comma != std::string_view::npos) {
                entries.emplace_back(std::string(inner.substr(0, comma)), std::string(inner.substr(comma + 1)));
            }
        }
    }
    std::vector<std::string> lowered;
    auto add = [&](const std::string& file) {
        std::string path = NativeOf(file.find(':') != std::string::npos ? file : baseDir + "\\" + file);
        std::string lower = Lowered(path);
        size_t same = out.destinations.size();
        for (size_t j = 0; j < lowered.size(); ++j) {
            if (lowered[j] == lower) {
                same = j;
                break;
            }
        }
        out.destinations.push_back({path, same});
        lowered.push_back(lower);
        return out.destinations.size() - 1;
    };
    add(defaultFile);
    for (const auto& [key, file] : entries) {
        std::string lower = Lowered(key);
        bool taken = false;
        for (const Rule& rule : out.rules) taken = taken || rule.key == lower;
        if (!taken) out.rules.push_back({lower, add(file)});
    }
    return out;
}
