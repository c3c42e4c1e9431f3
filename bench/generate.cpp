// The benchmark's data generator: a Shift-JIS comma-text input file and the
// rule file that routes it. The same options and seed give the same bytes on
// every machine: the random numbers come from our own generator, never from
// the standard library's distributions.
//
// Every line holds, in this order: a sequence number, a date, the routing
// value, a name in Japanese, a quantity, a price, often a quoted note (with a
// comma, a doubled quote and blanks inside) and a filler field that brings
// the line to its length. The fields before the routing value never hold a
// comma, a blank or a quote, so any splitter finds the same value there: the
// program itself, the floor program's byte scan, and awk with FS=",".
//
// Values come in runs of equal values; each run takes one routing value,
// which matches no rule with the given share. Matching values are spelled in
// the rule's letters, in capitals or in small letters, so that only a lookup
// that ignores case routes them. With --alternate every line goes to another
// destination than the line before it. With --distinct N every line takes
// one of N values at random: the rules' keys and N less that many values
// that match no rule.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Options {
    std::string input;
    std::string rules;
    std::string baseDir = "out";
    std::string defaultFile = "others.csv";
    uint64_t lines = 0;
    uint64_t size = 0;  // bytes; used when lines is 0
    uint32_t lineLength = 100;
    uint32_t values = 10;
    uint64_t run = 1000;
    double unmatched = 0.1;
    bool alternate = false;
    uint32_t distinct = 0;  // values drawn line by line, when not 0
    uint32_t column = 3;
    uint64_t seed = 1;
};

// splitmix64: small, fast and the same everywhere.
struct Random {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 to n - 1.
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>((Next() >> 32) * n >> 32); }
    // A share in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
};

// Double-byte characters of code page 932 that any Shift-JIS reader knows:
// hiragana, katakana and the first rows of level-1 kanji. Second bytes run
// from 0x40 to 0xFC, so some are ASCII letters or a backslash, as in real
// Japanese text; none is a blank, a comma or a quote.
struct Block {
    uint8_t lead;
    uint8_t first;
    uint8_t last;
};
// clang-format off
constexpr Block kBlocks[] = {
    {0x82, 0x9F, 0xF1},  // hiragana
    {0x83, 0x40, 0x7E},  // katakana (first part; ソ ends in 0x5C)
    {0x83, 0x80, 0x96},  // katakana (second part)
    {0x88, 0x9F, 0xFC},  // kanji
    {0x89, 0x40, 0x7E},
    {0x89, 0x80, 0xFC},
    {0x8A, 0x40, 0x7E},
    {0x93, 0x80, 0xFC},
};
// clang-format on

void PutKanji(Random& random, std::string& out, uint32_t characters) {
    for (uint32_t n = 0; n < characters; ++n) {
        const Block& block = kBlocks[random.Below(sizeof kBlocks / sizeof kBlocks[0])];
        out += static_cast<char>(block.lead);
        out += static_cast<char>(block.first + random.Below(block.last - block.first + 1u));
    }
}

void PutNumber(std::string& out, uint64_t number, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llu", width, static_cast<unsigned long long>(number));
    out += text;
}

std::string KeyOf(uint32_t i) {
    char text[16];
    std::snprintf(text, sizeof text, "Area%03u", i + 1);
    return text;
}

std::string UnmatchedOf(uint32_t i) {
    char text[16];
    std::snprintf(text, sizeof text, "Zone%03u", i + 1);
    return text;
}

std::string FileOf(uint32_t i) {
    char text[24];
    std::snprintf(text, sizeof text, "area%03u.csv", i + 1);
    return text;
}

// The value as the line spells it: as the rule does, in capitals or in small
// letters.
void PutValue(Random& random, std::string& out, const std::string& value) {
    uint32_t spelling = random.Below(3);
    for (char c : value) {
        if (spelling == 1 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
        if (spelling == 2 && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
        out += c;
    }
}

void PutLine(Random& random, const Options& options, uint64_t number, const std::string& value, std::string& out) {
    size_t start = out.size();
    PutNumber(out, number, 8);
    out += ",2024-";
    PutNumber(out, 1 + random.Below(12), 2);
    out += '-';
    PutNumber(out, 1 + random.Below(28), 2);
    // Extra fields before the routing value, for a column beyond 3.
    for (uint32_t c = 3; c < options.column; ++c) {
        out += ",X";
        PutNumber(out, random.Below(1000), 3);
    }
    out += ',';
    PutValue(random, out, value);
    out += ',';
    PutKanji(random, out, 2 + random.Below(5));
    out += ',';
    PutNumber(out, 1 + random.Below(999), 1);
    out += ',';
    PutNumber(out, random.Below(100000), 1);
    out += '.';
    PutNumber(out, random.Below(100), 2);
    if (random.Below(2) == 0) {
        out += ",\"";
        PutKanji(random, out, 2);
        out += ", ";
        PutKanji(random, out, 1 + random.Below(3));
        out += " \"\"OK\"\"\"";
    }
    out += ',';
    // The filler brings the line (CR LF included) to about its length, give
    // or take an eighth, and to the length itself on average.
    int64_t target = options.lineLength;
    int64_t swing = target / 8;
    if (swing > 0) target += static_cast<int64_t>(random.Below(static_cast<uint32_t>(2 * swing + 1))) - swing;
    int64_t room = target - 2 - static_cast<int64_t>(out.size() - start);
    while (room >= 2) {
        if (random.Below(4) == 0) {
            out += static_cast<char>('A' + random.Below(26));
            out += static_cast<char>('0' + random.Below(10));
        } else {
            PutKanji(random, out, 1);
        }
        room -= 2;
    }
    if (room == 1) out += 'z';
    out += "\r\n";
}

bool WriteRules(const Options& options) {
    std::FILE* file = std::fopen(options.rules.c_str(), "wb");
    if (file == nullptr) return false;
    std::fprintf(file, "[AssortRules]\r\nColumnNo=%u\r\nBaseDir=%s\r\nDefault=%s\r\nCount=%u\r\n", options.column,
                 options.baseDir.c_str(), options.defaultFile.c_str(), options.values);
    // Entry names have three digits: the 1,000th rule is "000".
    for (uint32_t i = 0; i < options.values; ++i) {
        std::fprintf(file, "%03u=[%s,%s]\r\n", (i + 1) % 1000, KeyOf(i).c_str(), FileOf(i).c_str());
    }
    return std::fclose(file) == 0;
}

bool WriteInput(const Options& options) {
    std::FILE* file = std::fopen(options.input.c_str(), "wb");
    if (file == nullptr) return false;
    std::vector<std::string> matched;
    std::vector<std::string> unmatched;
    for (uint32_t i = 0; i < options.values; ++i) matched.push_back(KeyOf(i));
    uint32_t others = options.distinct > options.values ? options.distinct - options.values : options.values;
    for (uint32_t i = 0; i < (others < 10 ? 10 : others); ++i) unmatched.push_back(UnmatchedOf(i));

    Random random{options.seed};
    std::string out;
    out.reserve(1 << 20);
    uint64_t written = 0;
    uint64_t left = 0;  // lines left in the current run
    uint32_t previous = 0;
    const std::string* value = &matched[0];
    for (uint64_t number = 1;; ++number) {
        if (options.lines > 0 ? number > options.lines : written + out.size() >= options.size) break;
        if (options.distinct > 0) {
            uint32_t drawn = random.Below(options.distinct);
            value = drawn < options.values ? &matched[drawn] : &unmatched[drawn - options.values];
        } else if (options.alternate) {
            // Any other rule than the line before: a change of destination.
            uint32_t step = options.values > 1 ? 1 + random.Below(options.values - 1) : 0;
            previous = (previous + step) % options.values;
            value = &matched[previous];
        } else if (left == 0) {
            left = options.run;
            if (random.Unit() < options.unmatched) {
                value = &unmatched[random.Below(static_cast<uint32_t>(unmatched.size()))];
            } else {
                value = &matched[random.Below(options.values)];
            }
        }
        if (left > 0) --left;
        PutLine(random, options, number, *value, out);
        if (out.size() >= (1u << 20) - 8192) {
            if (std::fwrite(out.data(), 1, out.size(), file) != out.size()) return false;
            written += out.size();
            out.clear();
        }
    }
    if (std::fwrite(out.data(), 1, out.size(), file) != out.size()) return false;
    return std::fclose(file) == 0;
}

// "10M", "1G", "4K" or a plain number.
uint64_t SizeOf(const char* text) {
    char* end = nullptr;
    uint64_t number = std::strtoull(text, &end, 10);
    switch (*end) {
        case 'K':
        case 'k': return number << 10;
        case 'M':
        case 'm': return number << 20;
        case 'G':
        case 'g': return number << 30;
        default: return number;
    }
}

int Usage() {
    std::fprintf(stderr,
                 "usage: rowdispatch-bench-gen --input FILE --rules FILE [--base-dir PATH] [--default NAME]\n"
                 "         [--lines N | --size BYTES] [--line-length BYTES] [--values N] [--run LINES]\n"
                 "         [--unmatched SHARE] [--alternate] [--distinct N] [--column N] [--seed N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view word = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        auto take = [&]() -> const char* {
            ++i;
            return next;
        };
        if (word == "--alternate") {
            options.alternate = true;
            continue;
        }
        if (next == nullptr) return Usage();
        if (word == "--input") options.input = take();
        else if (word == "--rules") options.rules = take();
        else if (word == "--base-dir") options.baseDir = take();
        else if (word == "--default") options.defaultFile = take();
        else if (word == "--lines") options.lines = SizeOf(take());
        else if (word == "--size") options.size = SizeOf(take());
        else if (word == "--line-length") options.lineLength = static_cast<uint32_t>(SizeOf(take()));
        else if (word == "--values") options.values = static_cast<uint32_t>(std::strtoul(take(), nullptr, 10));
        else if (word == "--run") options.run = SizeOf(take());
        else if (word == "--unmatched") options.unmatched = std::strtod(take(), nullptr);
        else if (word == "--distinct") options.distinct = static_cast<uint32_t>(std::strtoul(take(), nullptr, 10));
        else if (word == "--column") options.column = static_cast<uint32_t>(std::strtoul(take(), nullptr, 10));
        else if (word == "--seed") options.seed = std::strtoull(take(), nullptr, 10);
        else return Usage();
    }
    if (options.input.empty() || options.rules.empty() || options.values == 0 || options.column < 3 ||
        (options.lines == 0 && options.size == 0)) {
        return Usage();
    }
    if (options.alternate && options.values < 2) return Usage();
    if (!WriteRules(options)) {
        std::fprintf(stderr, "cannot write %s: %s\n", options.rules.c_str(), std::strerror(errno));
        return 1;
    }
    if (!WriteInput(options)) {
        std::fprintf(stderr, "cannot write %s: %s\n", options.input.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}
