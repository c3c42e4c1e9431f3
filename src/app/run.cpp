#include "app/run.h"

#include "session/rule_set.h"

#include "app/options.h"
#include "assort/assort.h"
#include "process/command_words.h"
#include "process/diagnostics.h"
#include "rules/rule_loading.h"
#include "session/console_messages.h"

namespace {
RuleSet ruleSet;
}  // namespace

uint32_t RunSequence() {
    ParseOptions();
    if (gRunOptions.ShowHelp) {
        PrintHelp();
        return 0;
    }
    if (gRunOptions.ShowVersion) {
        PrintVersion();
        return 0;
    }
    ruleSet.ColumnNo = -1;
    ruleSet.DefaultFile.clear();
    ruleSet.Sync = false;
    ruleSet.OtherCount = 0;
    ruleSet.KeyWidth = kInitialKeyWidth;
    ruleSet.RuleKeys = std::make_unique<TextList>();
    ruleSet.RuleFiles = std::make_unique<TextList>();
    ruleSet.RuleCounts = std::make_unique<TextList>();
    PrintStartBanner();
    LoadRules(ruleSet);
    // A column of 0 or below skips the pass; a negative one was reported.
    if (ruleSet.ColumnNo > 0) AssortInput(ruleSet, CommandWord(1));
    PrintEndBanner();
    ruleSet.RuleKeys.reset();
    ruleSet.RuleFiles.reset();
    ruleSet.RuleCounts.reset();
    return RunExitStatus();
}
