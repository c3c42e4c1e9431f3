#pragma once
// The process-wide option flags, set once from the command-line words
// (options.h) and read-only afterwards: the six of the slash options, and
// the help and the summary for scripts.

struct RunOptions {
    bool ShowVersion = false;
    bool NoOutput = false;
    bool ClearOutputs = false;
    bool InfoEnabled = true;
    bool ErrorEnabled = true;
    bool DebugEnabled = false;
    bool ShowHelp = false;        // /?, and on Linux -h and --help
    bool SummaryJson = false;     // --summary=json (Linux)
    bool ProgressEnabled = true;  // cleared by /s
};

extern RunOptions gRunOptions;
