#pragma once
// The option scan over the command-line words. Only the letter after the
// slash counts, ignoring case; later words override earlier ones; unknown
// options are ignored. A word that the platform takes for a path (on Linux
// "/data/in.csv") is no option. Where the platform takes words that begin
// with "-" (Linux), -h, --help, --version and --summary=json count as whole
// words only; any other such word is no option.

#include "session/run_options.h"

void ParseOptions();
