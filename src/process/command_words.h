#pragma once
// Command-line words, taken from the process once by the run (and again
// only when the rule file switches the code page, in which the system then
// gives them). Word 0 is always the program file's full path; when the
// system cannot name that file, asking for it is an input/output failure
// (code 2). Where the system keeps one
// command-line text (Windows), it is split by the program's own rules:
// blanks and control bytes separate words outside double quotes; a double
// quote opens a stretch that runs to the next one; there is no escape
// character. Where it hands the arguments over as words (Linux), they are
// the words, exactly.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Splits one word off `line` from `position` into `word`; gives the position
// just after it. At the end of the text the word is empty.
size_t NextCommandWord(std::string_view line, size_t position, std::string& word);

// The words after word 0 of a command-line text, split once.
std::vector<std::string> SplitCommandLine(std::string_view line);
// The same over a given command-line text, for word 1 and up.
int32_t CommandWordCountIn(std::string_view line);
std::string CommandWordIn(std::string_view line, int32_t i);

// The words after word 0 of the process command line, in the run's code
// page.
std::vector<std::string> TakeCommandWords();
// Word i of them (1 for the first); empty for one that is not there.
std::string_view WordAt(const std::vector<std::string>& words, int32_t i);
// Word 0: the program file's full path.
std::string ProgramFile();
