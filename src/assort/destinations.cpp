#include "assort/destinations.h"

#include "files/file_system.h"

std::string ResolvePath(std::string_view name, std::string_view baseDir) {
    if (IsFullyQualified(name)) return std::string(name);
    std::string path;
    path.reserve(baseDir.size() + 1 + name.size());
    path.append(baseDir).append("\\").append(name);
    return path;
}

void RemoveIfPresent(const std::string& path) {
    if (IsExistingFile(path)) RemoveFile(path);
}

void ClearOutputFiles(const RuleSet& rules) {
    RemoveIfPresent(ResolvePath(rules.DefaultFile, rules.BaseDir));
    for (int32_t i = 0; i < ItemCount(*rules.RuleFiles); ++i) {
        RemoveIfPresent(ResolvePath(ItemAt(*rules.RuleFiles, i), rules.BaseDir));
    }
}
