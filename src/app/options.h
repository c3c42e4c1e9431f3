#pragma once
// The six process-wide option flags, set once from the command-line words
// and read-only afterwards. Only the letter after the slash counts, ignoring
// case; later words override earlier ones; unknown options are ignored.

struct RunOptions {
    bool ShowVersion = false;
    bool NoOutput = false;
    bool ClearOutputs = false;
    bool InfoEnabled = true;
    bool ErrorEnabled = true;
    bool DebugEnabled = false;
};

extern RunOptions gRunOptions;

void ParseOptions();
