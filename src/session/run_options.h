#pragma once
// The process-wide option flags, set once from the command-line words
// (app/options.h) and read-only afterwards: the six of the slash options,
// the help and the summary for scripts, and what the program's users get
// beyond the Windows tool's ways, as app/ decided it.

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
    bool DashInput = false;       // "-" as the input is standard input (Linux)
};

extern RunOptions gRunOptions;
