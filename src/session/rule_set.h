#pragma once
// The run state: the rule table and the counts, one process-wide record that
// the entry point owns for the whole run. The run sequence (run.cpp) creates
// its three lists and destroys them; rule loading fills the record, the
// assort pass reads it and adds to its counts. Counts are 64-bit, so no
// count wraps however long the input. The code page is read first, since
// everything after it, rule entries included, is text in that code page.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/text_list.h"

inline constexpr int32_t kInitialKeyWidth = 8;
inline constexpr int32_t kKeyWidthCeiling = 40;

// A value that no rule names, with a file of its own (ValueFile): the
// spelling first met, the file's path and the lines it took.
struct ValueCount {
    std::string value;
    std::string path;
    int64_t count = 0;
};

struct RuleSet {
    int32_t ColumnNo = -1;
    uint32_t CodePage = 932;  // of the data and the console: 932, or UTF-8 where the rule file says so
    std::string BaseDir;
    std::string DefaultFile;
    bool Sync = false;  // Sync=1: the destinations and the journal reach the disk in an order a power cut keeps
    int64_t OtherCount = 0;
    int32_t KeyWidth = kInitialKeyWidth;
    std::unique_ptr<TextList> RuleKeys;
    std::unique_ptr<TextList> RuleFiles;
    std::unique_ptr<TextList> RuleCounts;  // decimal texts
    int32_t HeaderLines = 0;               // Header: the input's first lines, written atop every new file
    std::string ValueFile;                 // ValueFile: the pattern of the values' files; empty: none
    int64_t HeaderTaken = 0;               // header lines the pass took
    std::vector<ValueCount> Values;        // in the order first met
};

// Summary keys are padded to KeyWidth display columns: a longer key widens
// it until it has reached the ceiling, after which it never changes (a
// single long key can take it past the ceiling).
inline void WidenKeyWidth(RuleSet& rules, int64_t keyColumns) {
    if (rules.KeyWidth < kKeyWidthCeiling && keyColumns > rules.KeyWidth)
        rules.KeyWidth = static_cast<int32_t>(keyColumns);
}
