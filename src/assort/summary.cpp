#include "assort/summary.h"

#include "app/console_messages.h"
#include "app/messages.h"
#include "codepage/lead_bytes.h"
#include "files/file_system.h"

std::string PadRight(std::string_view text, char fill, int32_t width) {
    int32_t columns = 0;
    size_t i = 0;
    while (i < text.size() && columns < width) {
        ColumnStep step = NextColumnStep(text, i);
        // A wide character that no longer fits leaves its last column blank.
        if (columns + step.columns > width) break;
        columns += step.columns;
        i = step.next;
    }
    std::string padded(text.substr(0, i));
    padded.append(static_cast<size_t>(width > columns ? width - columns : 0), fill);
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
