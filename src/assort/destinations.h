#pragma once
// Destination paths, and the clearing of earlier destination files (/c).
// A fully qualified name (one holding a colon, or rooted: "/data" on Linux)
// is used unchanged; every other name is placed under the base directory. Clearing deletes only the files the current
// rule table names, silently; a file that cannot be deleted (in use, read-only) stays. Directories are never removed.

#include <string>
#include <string_view>

#include "session/rule_set.h"

std::string ResolvePath(std::string_view name, std::string_view baseDir);
void ClearOutputFiles(const RuleSet& rules);
// Deletes the file when there is one; the outcome is not tested.
void RemoveIfPresent(const std::string& path);
