#include "app/run.h"

#include <string>
#include <vector>

#include "app/options.h"
#include "app/run_outcome.h"
#include "assort/assort.h"
#include "files/file_system.h"
#include "messages/messages.h"
#include "process/command_words.h"
#include "rules/rule_loading.h"
#include "session/console_messages.h"
#include "session/rule_set.h"

namespace {

RuleSet ruleSet;

// The usage text for the program's users.
void PrintHelpFor(const SysUserConventions& ways) {
    if (ways.dashWords) {
        PrintHelp({kHelpText, kHelpLinuxText, ways.userErrorFails ? kHelpStatusLinux : kHelpStatus});
    } else {
        PrintHelp({kHelpText, ways.userErrorFails ? kHelpStatusLinux : kHelpStatus});
    }
}

// The rule file as word 2 names it; the program's own file is asked for
// only where names are taken next to it: where nothing names it, that is a
// failure.
RuleFileName NameRuleFile(const std::vector<std::string>& words, const SysUserConventions& ways) {
    RuleFileName file;
    file.fromHere = ways.namesFromCurrentFolder;
    file.typed = TrimBlanks(WordAt(words, 2));
    if (!file.fromHere) file.programFile = ProgramFile();
    return file;
}

}  // namespace

void RunSequence(RunReport& report, const SysUserConventions& ways) {
    std::vector<std::string> words = TakeCommandWords();
    ParseOptions(words, ways);
    if (gRunOptions.ShowHelp) {
        PrintHelpFor(ways);
        return;
    }
    if (gRunOptions.ShowVersion) {
        PrintVersion();
        return;
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
    RuleFileName ruleFile = NameRuleFile(words, ways);
    LoadRules(ruleSet, report, ruleFile);
    // The words in the rule file's code page, as the system gives them.
    if (ruleSet.CodePage != kCodePageShiftJis) words = TakeCommandWords();
    // A column of 0 or below skips the pass; a negative one was reported.
    if (ruleSet.ColumnNo > 0) AssortInput(ruleSet, report, WordAt(words, 1));
    if (gRunOptions.SummaryJson) PrintOutcomeJson(report, ruleSet.ColumnNo);
    PrintEndBanner();
    ruleSet.RuleKeys.reset();
    ruleSet.RuleFiles.reset();
    ruleSet.RuleCounts.reset();
}
