#include "codepage/lead_bytes.h"

#include <cstdint>

#include "platform/platform.h"

void InitLeadBytes() { UseCharRule(false); }

void UseCodePage(uint32_t codePage) { SysUseCodePage(codePage); }

namespace {

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

}  // namespace

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
    return {i + length, length > 1 && utf8::IsWide(utf8::Decode(text, i, length)) ? 2 : 1};
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
