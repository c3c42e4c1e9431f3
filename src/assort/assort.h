#pragma once
// The assort pass: one pass over the input file (command-line word 1, as the
// caller hands it, blanks around it dropped) that
// appends every line, unchanged but for a CR LF line end, to the destination
// its field at ColumnNo selects, counts the lines, and prints the summary.
// Destinations stay open from the first line routed to each until the end
// of the pass (destination_table.h); a destination is only ever appended
// to. The input is opened before /c clears earlier outputs, so clearing
// never deletes the input itself, whatever name a rule gives it.

#include "session/rule_set.h"

#include <string_view>

void AssortInput(RuleSet& rules, std::string_view inputWord);
