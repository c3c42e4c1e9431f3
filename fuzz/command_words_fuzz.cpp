// Command-line words over arbitrary bytes: the words and their count agree
// with a plain reading of the splitting rules, every counted word is
// non-empty and every index past the count gives the empty word, positions
// only move forward, and words written back in double quotes split into
// themselves again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "process/command_words.h"

namespace {

bool Separator(unsigned char c) { return c >= 0x01 && c <= 0x20; }

// One word from `at`, by the rules: skip separators and empty pairs of
// quotes; then take characters while the byte is above 0x20, a quote opening
// a stretch that runs to the next quote.
size_t ReferenceNext(std::string_view line, size_t at, std::string& word) {
    word.clear();
    for (;;) {
        if (at < line.size() && Separator(fuzz::At(line, at))) {
            at += 1;
        } else if (at + 1 < line.size() && line[at] == '"' && line[at + 1] == '"') {
            at += 2;
        } else {
            break;
        }
    }
    while (at < line.size() && fuzz::At(line, at) > 0x20) {
        if (line[at] == '"') {
            ++at;
            while (at < line.size() && line[at] != '"') {
                size_t length = fuzz::CharLength(line, at);
                word.append(line.substr(at, length));
                at += length;
            }
            if (at < line.size()) ++at;
        } else {
            size_t length = fuzz::CharLength(line, at);
            word.append(line.substr(at, length));
            at += length;
        }
    }
    return at;
}

// Words 1 and up, to the first empty one.
std::vector<std::string> ReferenceWords(std::string_view line) {
    line = fuzz::UpToNul(line);
    std::vector<std::string> words;
    std::string word;
    size_t at = ReferenceNext(line, 0, word);
    for (;;) {
        at = ReferenceNext(line, at, word);
        if (word.empty()) return words;
        words.push_back(word);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> expected = ReferenceWords(input);

    const int32_t count = CommandWordCountIn(input);
    FUZZ_CHECK(count == static_cast<int32_t>(expected.size()),
               "count " + std::to_string(count) + ", rules give " + fuzz::Joined(expected));
    std::vector<std::string> words;
    for (int32_t i = 1; i <= count; ++i) words.push_back(CommandWordIn(input, i));
    FUZZ_CHECK(words == expected, "got " + fuzz::Joined(words) + ", rules give " + fuzz::Joined(expected));
    for (const std::string& word : words) FUZZ_CHECK(!word.empty(), fuzz::Joined(words));
    for (int32_t i : {count + 1, count + 2, 0, -1, INT32_MIN})
        FUZZ_CHECK(CommandWordIn(input, i).empty(), "word " + std::to_string(i) + " is not empty");

    // Splitting word after word from the start only moves forward and ends
    // at the end of the text before the first NUL.
    const size_t end = fuzz::UpToNul(input).size();
    std::string word;
    size_t at = 0;
    for (int guard = 0; guard <= static_cast<int>(size) + 2; ++guard) {
        size_t next = NextCommandWord(input, at, word);
        FUZZ_CHECK(next >= at && next <= end, "position " + std::to_string(at) + " to " + std::to_string(next));
        if (word.empty()) {
            FUZZ_CHECK(next == end, "an empty word before the end, at " + std::to_string(next));
            break;
        }
        FUZZ_CHECK(next > at, "no progress at " + std::to_string(at));
        at = next;
    }

    // Words without quotes and without bytes of 0x80 and up, each put in
    // double quotes after a program name, split into themselves.
    bool plain = true;
    for (const std::string& w : words) plain = plain && !fuzz::HasByteFrom(w, 0x80) && w.find('"') == std::string::npos;
    if (plain) {
        std::string line = "prog";
        for (const std::string& w : words) line += " \"" + w + "\"";
        std::vector<std::string> back;
        for (int32_t i = 1; i <= CommandWordCountIn(line); ++i) back.push_back(CommandWordIn(line, i));
        FUZZ_CHECK(back == words, "quoted back: " + fuzz::Shown(line) + " gives " + fuzz::Joined(back));
    }
    return 0;
}
