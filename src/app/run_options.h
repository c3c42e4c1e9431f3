#pragma once
// The six process-wide option flags, set once from the command-line words
// (options.h) and read-only afterwards.

struct RunOptions {
    bool ShowVersion = false;
    bool NoOutput = false;
    bool ClearOutputs = false;
    bool InfoEnabled = true;
    bool ErrorEnabled = true;
    bool DebugEnabled = false;
};

extern RunOptions gRunOptions;
