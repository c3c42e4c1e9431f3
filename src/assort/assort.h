#pragma once
// The assort pass: one pass over the input file (command-line word 1, as the
// caller hands it, blanks around it dropped; "-" is standard input where the
// options say so) that
// appends every line, unchanged but for a CR LF line end, to the destination
// its field at ColumnNo selects, counts the lines, and prints the summary.
// Destinations stay open from the first line routed to each until the end
// of the pass (destination_table.h); a destination is only ever appended
// to. The input is opened before /c clears earlier outputs, so clearing
// never deletes the input itself, whatever name a rule gives it. A missing
// input is a user error, noted in the run's report; how far the pass got is
// kept there too, for the line on standard error.

#include "session/rule_set.h"
#include "session/run_report.h"

#include <string_view>

void AssortInput(RuleSet& rules, RunReport& report, std::string_view inputWord);
