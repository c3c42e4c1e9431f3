#pragma once
// The two writers through which every line of the program reaches standard
// output, so that /s and /e govern all of them, and the fixed texts built
// on them. Each writer adds CR LF and checks the console write.

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
// The usage text, whatever /s says: asked for, it is shown.
void PrintHelp();
// Text written as it stands, whatever /s says (the summary for scripts).
void WriteConsoleText(std::string_view text);
