#include "app/options.h"

#include <string>

#include "files/file_system.h"
#include "platform/platform.h"
#include "process/command_words.h"

RunOptions gRunOptions;

void ParseOptions() {
    gRunOptions = RunOptions{};
    int32_t count = CommandWordCount();
    for (int32_t i = 1; i <= count; ++i) {
        std::string word = CommandWord(i);
        if (SysIsPathWord(word)) continue;
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
        } else if (letter == "e") {
            gRunOptions.ErrorEnabled = true;
        } else if (letter == "d") {
            gRunOptions.DebugEnabled = true;
        }
    }
}
