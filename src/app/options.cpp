#include "app/options.h"

#include <string>

#include "files/file_system.h"
#include "platform/platform.h"

RunOptions gRunOptions;

namespace {

// The words that begin with "-", each as a whole word (--help, never
// --helpme); gives whether the word was one.
bool ParseDashWord(std::string_view word) {
    if (word == "-h" || word == "--help") {
        gRunOptions.ShowHelp = true;
    } else if (word == "--version") {
        gRunOptions.ShowVersion = true;
    } else if (word == "--summary=json") {
        gRunOptions.SummaryJson = true;
    } else {
        return false;
    }
    return true;
}

}  // namespace

void ParseOptions(const std::vector<std::string>& words, const SysUserConventions& ways) {
    gRunOptions = RunOptions{};
    const bool dashWords = ways.dashWords;
    gRunOptions.DashInput = dashWords;
    for (const std::string& word : words) {
        if (SysIsPathWord(word)) continue;
        if (dashWords && ParseDashWord(word)) continue;
        // A word that starts with a double-byte character is never an option.
        if (FirstChars(word, 1) != "/") continue;
        std::string letter = LowerText(std::string_view(word).substr(1, 1));
        if (letter == "v") {
            gRunOptions.ShowVersion = true;
        } else if (letter == "o") {
            gRunOptions.NoOutput = true;
        } else if (letter == "c") {
            gRunOptions.ClearOutputs = true;
        } else if (letter == "s") {
            gRunOptions.InfoEnabled = false;
            gRunOptions.ErrorEnabled = false;
            gRunOptions.ProgressEnabled = false;
        } else if (letter == "e") {
            gRunOptions.ErrorEnabled = true;
        } else if (letter == "d") {
            gRunOptions.DebugEnabled = true;
        } else if (letter == "?") {
            gRunOptions.ShowHelp = true;
        }
    }
    // The summary for scripts stands alone on standard output: no banner,
    // no error line there (errors go to the diagnostic stream).
    if (gRunOptions.SummaryJson) {
        gRunOptions.InfoEnabled = false;
        gRunOptions.ErrorEnabled = false;
    }
}
