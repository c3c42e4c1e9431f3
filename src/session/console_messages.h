#pragma once
// The writers of standard output, and the fixed texts built on them. Every
// line of the run goes through the two that /s and /e govern, WriteInfo and
// WriteError; what is shown whatever /s says goes through two others, the
// usage text (PrintHelp) and text for scripts (WriteConsoleText). Each adds
// CR LF where a line ends and checks the console write. The failure report
// alone goes past them, straight to the standard output handle, once the
// run has ended (app/).

#include <initializer_list>
#include <string_view>

// Writes the pieces, joined, as one line, while informational output is on.
void WriteInfo(std::initializer_list<std::string_view> pieces);
inline void WriteInfo(std::string_view text) { WriteInfo({text}); }
// Writes "Error : " and the pieces as one line, while error output is on.
void WriteError(std::initializer_list<std::string_view> pieces);
inline void WriteError(std::string_view text) { WriteError({text}); }

void PrintStartBanner();
void PrintEndBanner();
void PrintVersion();
// The usage text, whatever /s says: asked for, it is shown; its lines as
// the caller picks them for the program's users.
void PrintHelp(std::initializer_list<std::string_view> lines);
// Text written as it stands, whatever /s says (the summary for scripts).
void WriteConsoleText(std::string_view text);
