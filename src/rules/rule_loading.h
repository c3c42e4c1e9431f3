#pragma once
// Loads the rule file named by command-line word 2 into the rule set, and
// switches the text rules and the messages to its code page (CodePage). User
// errors are printed as error lines and leave ColumnNo at 0 or below, which
// skips the assort pass; loading never stops the program; each also has its
// line on the diagnostic stream. The file read is the one whose existence
// was tested. A relative name is taken where the platform says (Linux: in
// the current folder, and a relative or absent BaseDir in the rule file's
// own folder; Windows: both next to the program).

#include <string>

#include "session/rule_set.h"

void LoadRules(RuleSet& rules);
// width zeros and the digits of |number|, cut to the last width bytes, with
// "-" in front for a negative number.
std::string ZeroPad(int64_t number, int width);
