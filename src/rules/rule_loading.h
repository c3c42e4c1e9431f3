#pragma once
// Loads the rule file that the caller names (command-line word 2) into the
// rule set, and switches the text rules and the messages to its code page
// (CodePage). User errors are printed as error lines and leave ColumnNo at 0
// or below, which skips the assort pass; loading never stops the program;
// each is also noted in the run's report, for the line on standard error.
// The file read is the one whose existence was tested. A relative name is
// taken where the caller says (Linux: in the current folder, and a relative
// or absent BaseDir in the rule file's own folder; Windows: both next to the
// program).

#include <string>

#include "session/rule_set.h"
#include "session/run_report.h"

// The rule file as the command line names it, and where names are taken.
struct RuleFileName {
    bool fromHere = false;    // from the current folder, not the program's
    std::string typed;        // as typed, blanks around it dropped
    std::string programFile;  // the program's own file, where names are taken next to it
};

// The names, taken in code page 932, are carried over into the rule file's
// code page when it names another.
void LoadRules(RuleSet& rules, RunReport& report, RuleFileName& file);
// width zeros and the digits of |number|, cut to the last width bytes, with
// "-" in front for a negative number.
std::string ZeroPad(int64_t number, int width);
