#pragma once
// The option scan over the command-line words, which the caller took once.
// Only the letter after the slash counts, ignoring case; later words
// override earlier ones; unknown options are ignored. A word that the
// platform takes for a path (on Linux "/data/in.csv") is no option. Where
// the program's users take words that begin with "-" (Linux), -h, --help,
// --version and --summary=json count as whole words only; any other such
// word is no option, and "-" as the input is standard input.

#include <string>
#include <vector>

#include "platform/platform.h"
#include "session/run_options.h"

// Sets gRunOptions from the command-line words after word 0, as the ways of
// the program's users say.
void ParseOptions(const std::vector<std::string>& words, const SysUserConventions& ways);
