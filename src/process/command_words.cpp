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

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    size_t position = NextCommandWord(line, 0, word);  // word 0, the program
    for (;;) {
        position = NextCommandWord(line, position, word);
        if (word.empty()) return words;
        words.push_back(word);
    }
}

int32_t CommandWordCountIn(std::string_view line) { return static_cast<int32_t>(SplitCommandLine(line).size()); }

std::string CommandWordIn(std::string_view line, int32_t i) { return std::string(WordAt(SplitCommandLine(line), i)); }

std::vector<std::string> TakeCommandWords() {
    std::string line;
    std::vector<std::string> arguments;
    if (SysGetCommandLine(line, arguments)) return arguments;
    return SplitCommandLine(line);
}

std::string_view WordAt(const std::vector<std::string>& words, int32_t i) {
    if (i < 1 || static_cast<size_t>(i) > words.size()) return {};
    return words[static_cast<size_t>(i) - 1];
}

std::string ProgramFile() {
    std::vector<char> path(kModulePathRoom);
    uint32_t length = SysGetModuleFileName(path.data(), kModulePathRoom);
    // Without it the rule file would silently be looked for in the current
    // folder instead of the program's.
    if (length == 0) {
        StoreIoError(SysLastFailure());
        CheckIo(kPlaceProgramFile);
    }
    return std::string(path.data(), length);
}
