#pragma once
// The run state and the run sequence. The entry point owns RuleSet for the
// whole run and is the only place where its three lists are created and
// destroyed. Counts are 64-bit, so no count wraps however long the input.

#include <cstdint>
#include <memory>
#include <string>

#include "text/text_list.h"

inline constexpr int32_t kInitialKeyWidth = 8;

struct RuleSet {
    int32_t ColumnNo = -1;
    std::string BaseDir;
    std::string DefaultFile;
    int64_t OtherCount = 0;
    int32_t KeyWidth = kInitialKeyWidth;
    std::unique_ptr<TextList> RuleKeys;
    std::unique_ptr<TextList> RuleFiles;
    std::unique_ptr<TextList> RuleCounts;  // decimal texts
};

// Runs from the option scan to the end of the process.
[[noreturn]] void RunSequence();
