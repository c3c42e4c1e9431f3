#include "process/command_words.h"

#include "codepage/code_page.h"

#include <vector>

#include "platform/platform.h"
#include "process/failure.h"
#include "process/io_result.h"

namespace {

constexpr char kQuote = '"';

bool IsWordByte(char c) { return static_cast<unsigned char>(c) > 0x20; }

}  // namespace

size_t NextCommandWord(std::string_view line, size_t position, std::string& word) {
    word.clear();
    line = line.substr(0, line.find('\0'));
    for (;;) {
        if (position < line.size() && IsBlankByte(line[position])) {
            ++position;
        } else if (position + 1 < line.size() && line[position] == kQuote && line[position + 1] == kQuote) {
            position += 2;
        } else {
            break;
        }
    }
    while (position < line.size() && IsWordByte(line[position])) {
        if (line[position] == kQuote) {
            ++position;
            while (position < line.size() && line[position] != kQuote) {
                size_t next = NextCharIndex(line, position);
                word.append(line, position, next - position);
                position = next;
            }
            if (position < line.size()) ++position;
        } else {
            size_t next = NextCharIndex(line, position);
            word.append(line, position, next - position);
            position = next;
        }
    }
    return position;
}

int32_t CommandWordCountIn(std::string_view line) {
    std::string word;
    size_t position = NextCommandWord(line, 0, word);
    int32_t count = 0;
    for (;;) {
        position = NextCommandWord(line, position, word);
        if (word.empty()) return count;
        ++count;
    }
}

std::string CommandWordIn(std::string_view line, int32_t i) {
    std::string word;
    if (i < 1) return word;
    size_t position = NextCommandWord(line, 0, word);
    for (int32_t n = 1; n <= i; ++n) {
        position = NextCommandWord(line, position, word);
        if (word.empty()) break;
    }
    return word;
}

namespace {

// The words of this process's command line, afresh.
struct ProcessWords {
    bool given = false;  // the system handed the arguments as words
    std::string line;
    std::vector<std::string> arguments;
    ProcessWords() { given = SysGetCommandLine(line, arguments); }
};

}  // namespace

int32_t CommandWordCount() {
    ProcessWords words;
    if (words.given) return static_cast<int32_t>(words.arguments.size());
    return CommandWordCountIn(words.line);
}

std::string CommandWord(int32_t i) {
    if (i == 0) {
        std::vector<char> path(kModulePathRoom);
        uint32_t length = SysGetModuleFileName(path.data(), kModulePathRoom);
        // Without it the rule file would silently be looked for in the
        // current folder instead of the program's.
        if (length == 0) {
            StoreIoResult(static_cast<int32_t>(SysLastError()));
            CheckIo(kPlaceProgramFile);
        }
        return std::string(path.data(), length);
    }
    ProcessWords words;
    if (!words.given) return CommandWordIn(words.line, i);
    if (i < 1 || static_cast<size_t>(i) > words.arguments.size()) return "";
    return words.arguments[static_cast<size_t>(i) - 1];
}
