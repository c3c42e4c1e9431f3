#include "assort/summary.h"

#include "app/console_messages.h"
#include "app/messages.h"
#include "files/file_system.h"

std::string PadRight(std::string_view text, char fill, int32_t width) {
    size_t size = width > 0 ? static_cast<size_t>(width) : 0;
    std::string padded(text.substr(0, size));
    padded.resize(size, fill);
    return padded;
}

void PrintSummary(const RuleSet& rules, int64_t lineCount) {
    WriteInfo({kSummaryInputCount, DecimalText(lineCount), kSummaryCountUnit});
    WriteInfo(kSummaryHeading);
    for (int32_t i = 0; i < ItemCount(*rules.RuleKeys); ++i) {
        WriteInfo({kSummaryItemPrefix, PadRight(ItemAt(*rules.RuleKeys, i), ' ', rules.KeyWidth),
                   kSummaryItemSeparator, ItemAt(*rules.RuleCounts, i), kSummaryCountUnit});
    }
    WriteInfo({kSummaryItemPrefix, PadRight(kSummaryOtherLabel, ' ', rules.KeyWidth), kSummaryItemSeparator,
               DecimalText(rules.OtherCount), kSummaryCountUnit});
}
