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

#include "text/text_list.h"

inline constexpr int32_t kInitialKeyWidth = 8;

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
};
