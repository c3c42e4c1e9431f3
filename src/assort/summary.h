#pragma once
// The count report at the end of a completed pass: the lines read, then one
// line per rule in rule order and one for all other lines, keys padded or
// cut to KeyWidth display columns (bytes in code page 932). With
// --summary=json, one JSON object instead (in UTF-8 whatever the code page),
// whatever /s says.

#include <cstdint>
#include <string>
#include <string_view>

#include "session/rule_set.h"
#include "session/run_report.h"

// The text padded with fill characters, or cut, to width display columns:
// in code page 932 its first width bytes, even inside a character; in UTF-8
// whole characters only, a wide one that no longer fits giving a fill.
std::string PadRight(std::string_view text, char fill, int32_t width);
// The summary of the pass over the input the progress names; lineCount is
// the lines it routed (the header lines taken left out).
void PrintSummary(const RuleSet& rules, const RunProgress& progress, int64_t lineCount);
