#include "platform/char_rule.h"

#include "platform/platform.h"

bool gLeadBytes[256];
bool gUtf8 = false;

void UseCharRule(bool utf8) {
    gUtf8 = utf8;
    for (bool& lead : gLeadBytes) lead = false;
    if (utf8) return;
    uint8_t ranges[12] = {};
    int pairs = SysLeadByteRanges(ranges);
    for (int pair = 0; pair < pairs; ++pair) {
        for (int byte = ranges[2 * pair]; byte <= ranges[2 * pair + 1]; ++byte) gLeadBytes[byte] = true;
    }
}

size_t NextUtf8CharIndex(std::string_view text, size_t i) { return i + utf8::SequenceLength(text, i); }
