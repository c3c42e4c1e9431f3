#include "codepage/lead_bytes.h"

#include <cstdint>

#include "platform/platform.h"

bool gLeadBytes[256];

void InitLeadBytes() {
    uint8_t ranges[12] = {};
    int pairs = SysLeadByteRanges(ranges);
    for (bool& lead : gLeadBytes) lead = false;
    for (int pair = 0; pair < pairs; ++pair) {
        for (int byte = ranges[2 * pair]; byte <= ranges[2 * pair + 1]; ++byte) gLeadBytes[byte] = true;
    }
}

ByteClass ClassifyByte(std::string_view text, size_t i) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte == 0) return ByteClass::Single;
    // Lead bytes pair off from the first one of a run: an odd run before i
    // leaves its last lead byte waiting for this one.
    size_t run = 0;
    while (run < i && IsLeadByte(static_cast<unsigned char>(text[i - run - 1]))) ++run;
    if (run % 2 == 1) return ByteClass::Second;
    return IsLeadByte(byte) ? ByteClass::Lead : ByteClass::Single;
}
