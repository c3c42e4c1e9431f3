#include "codepage/code_page.h"

#include <cstdint>

#include "messages/messages.h"

bool gLeadBytes[256];
bool gUtf8 = false;

namespace {

uint32_t generation = 0;

void UseCharRule(bool utf8) {
    gUtf8 = utf8;
    ++generation;
    for (bool& lead : gLeadBytes) lead = false;
    if (utf8) return;
    uint8_t ranges[12] = {};
    int pairs = SysLeadByteRanges(ranges);
    for (int pair = 0; pair < pairs; ++pair) {
        for (int byte = ranges[2 * pair]; byte <= ranges[2 * pair + 1]; ++byte) gLeadBytes[byte] = true;
    }
}

// In UTF-8 a sequence starts at its first byte, which is no continuation
// byte; the byte at i belongs to the sequence that starts at most three
// bytes before it, if that one is well-formed and reaches it.
ByteClass ClassifyUtf8Byte(std::string_view text, size_t i) {
    if (utf8::IsContinuation(static_cast<unsigned char>(text[i]))) {
        for (size_t back = 1; back <= 3 && back <= i; ++back) {
            if (utf8::IsContinuation(static_cast<unsigned char>(text[i - back]))) continue;
            return utf8::SequenceLength(text, i - back) > back ? ByteClass::Second : ByteClass::Single;
        }
        return ByteClass::Single;
    }
    return utf8::SequenceLength(text, i) > 1 ? ByteClass::Lead : ByteClass::Single;
}

// The code point of a well-formed sequence of the given length.
uint32_t Decode(std::string_view text, size_t i, size_t length) {
    const unsigned char first = static_cast<unsigned char>(text[i]);
    if (length == 1) return first;
    uint32_t code = first & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return code;
}

// Writes the code point in `length` bytes (the length it was read in).
void Encode(uint32_t code, char* out, size_t length) {
    if (length == 1) {
        out[0] = static_cast<char>(code);
        return;
    }
    static constexpr unsigned char kLeadMarks[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (size_t k = length - 1; k > 0; --k, code >>= 6) out[k] = static_cast<char>(0x80 | (code & 0x3F));
    out[0] = static_cast<char>(kLeadMarks[length] | code);
}

// The letters that UTF-8 text folds: those code page 932 folds.
constexpr utf8::CaseRange kCaseRanges[] = {
    {0x0041, 0x005A, 0x20},  // ASCII
    {0xFF21, 0xFF3A, 0x20},  // full-width Latin
    {0x0391, 0x03A1, 0x20},  // Greek Α to Ρ
    {0x03A3, 0x03A9, 0x20},  // Greek Σ to Ω (no capital final sigma)
    {0x0401, 0x0401, 0x50},  // Cyrillic Ё
    {0x0410, 0x042F, 0x20},  // Cyrillic А to Я
    {0x2160, 0x2169, 0x10},  // Roman numerals I to X
};

// Characters that a terminal shows two columns wide: the wide and full-width
// ones of Unicode's East Asian Width (kana, kanji, hangul, full-width forms,
// the emoji blocks). Every other character takes one column.
struct WideRange {
    uint32_t first;
    uint32_t last;
};

constexpr WideRange kWideRanges[] = {
    {0x1100, 0x115F}, {0x2329, 0x232A},   {0x2E80, 0x303E},   {0x3041, 0x3247},   {0x3250, 0x4DBF},   {0x4E00, 0xA4C6},
    {0xA960, 0xA97C}, {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6B},   {0xFF01, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

bool IsWide(uint32_t code) {
    if (code < kWideRanges[0].first) return false;
    for (const WideRange& range : kWideRanges) {
        if (code >= range.first && code <= range.last) return true;
    }
    return false;
}

// Malformed bytes of UTF-8 compare past every character.
constexpr uint32_t kMalformedCodeBase = 0x110000;

// The code of the UTF-8 character that starts at text[i], its letter made
// small when asked; advances i past it.
uint32_t NextUtf8Code(std::string_view text, size_t& i, bool ignoreCase) {
    size_t size = utf8::SequenceLength(text, i);
    uint32_t code = Decode(text, i, size);
    i += size;
    if (size == 1 && code >= 0x80) return code + kMalformedCodeBase;
    return ignoreCase ? utf8::LowerByRanges(code, kCaseRanges) : code;
}

int CompareUtf8(bool ignoreCase, std::string_view first, std::string_view second) {
    size_t i = 0;
    size_t j = 0;
    while (i < first.size() && j < second.size()) {
        uint32_t a = NextUtf8Code(first, i, ignoreCase);
        uint32_t b = NextUtf8Code(second, j, ignoreCase);
        if (a != b) return a < b ? 1 : 3;
    }
    if (i < first.size()) return 3;
    return j < second.size() ? 1 : 2;
}

// Small and capital letters of the folded set take as many bytes, and a
// malformed byte stays as it is, so the text keeps its length and its
// characters their places.
void LowerUtf8(char* text, size_t length) {
    std::string_view view(text, length);
    for (size_t i = 0; i < length;) {
        size_t start = i;
        uint32_t code = NextUtf8Code(view, i, true);
        if (code < kMalformedCodeBase) Encode(code, text + start, i - start);
    }
}

}  // namespace

void InitLeadBytes() { UseCharRule(false); }

bool SwitchCodePage(uint32_t codePage, std::initializer_list<std::string*> carried) {
    if (codePage != kCodePageShiftJis && codePage != kCodePageUtf8) return false;
    // Only code page 932 text ever changes its code page: into UTF-8.
    if (!gUtf8 && codePage == kCodePageUtf8) {
        for (std::string* text : carried) *text = SysTextToUtf8(*text);
    }
    UseCharRule(codePage == kCodePageUtf8);
    UseUtf8Messages(codePage == kCodePageUtf8);
    SysUseCodePage(codePage);
    return true;
}

uint32_t CodePageGeneration() { return generation; }

size_t WellFormedCharLength(std::string_view text, size_t i) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) return 1;
    if (gUtf8) {
        size_t length = utf8::SequenceLength(text, i);
        return length > 1 ? length : 0;
    }
    if (IsLeadByte(byte)) {
        if (i + 1 == text.size()) return 0;
        unsigned char second = static_cast<unsigned char>(text[i + 1]);
        return (second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFC) ? 2 : 0;
    }
    const bool unassigned = byte == 0x80 || byte == 0xA0 || byte >= 0xFD;
    return unassigned ? 0 : 1;
}

ByteClass ClassifyByte(std::string_view text, size_t i) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte == 0) return ByteClass::Single;
    if (gUtf8) return ClassifyUtf8Byte(text, i);
    // Lead bytes pair off from the first one of a run: an odd run before i
    // leaves its last lead byte waiting for this one.
    size_t run = 0;
    while (run < i && IsLeadByte(static_cast<unsigned char>(text[i - run - 1]))) ++run;
    if (run % 2 == 1) return ByteClass::Second;
    return IsLeadByte(byte) ? ByteClass::Lead : ByteClass::Single;
}

ColumnStep NextColumnStep(std::string_view text, size_t i) {
    if (!gUtf8) return {i + 1, 1};
    size_t length = utf8::SequenceLength(text, i);
    return {i + length, length > 1 && IsWide(Decode(text, i, length)) ? 2 : 1};
}

int64_t TextColumns(std::string_view text) {
    if (!gUtf8) return static_cast<int64_t>(text.size());
    int64_t columns = 0;
    for (size_t i = 0; i < text.size();) {
        ColumnStep step = NextColumnStep(text, i);
        columns += step.columns;
        i = step.next;
    }
    return columns;
}

int CompareText(bool ignoreCase, std::string_view first, std::string_view second) {
    if (gUtf8) return CompareUtf8(ignoreCase, first, second);
    return SysCompareString(ignoreCase, first, second);
}

void LowerTextInPlace(char* text, size_t length) {
    if (length == 0) return;
    if (gUtf8) {
        LowerUtf8(text, length);
        return;
    }
    SysCharLowerBuff(text, static_cast<uint32_t>(length));
}

bool CompareKey(std::string_view text, std::string& key) {
    if (!gUtf8) return SysCompareKey(text, key);
    key.assign(text);
    LowerUtf8(key.data(), key.size());
    return true;
}
