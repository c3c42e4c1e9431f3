#include "text/integer_text.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Parses by the rules of IntegerOrDefault for a value of `bits` bits.
bool ParseInteger(std::string_view text, int bits, int64_t* result) {
    size_t at = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    std::string_view rest = text.substr(at);
    bool hex = false;
    if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
        hex = true;
        rest.remove_prefix(1);
    } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        hex = true;
        rest.remove_prefix(2);
    }
    if (rest.empty()) return false;
    if (hex) {
        // Leading zeros do not count; the bit pattern is taken as signed, and
        // a sign has no effect.
        uint64_t value = 0;
        int significant = 0;
        for (char c : rest) {
            int digit = HexDigit(c);
            if (digit < 0) return false;
            if (value != 0 || digit != 0) ++significant;
            if (significant > bits / 4) return false;
            value = (value << 4) | static_cast<uint64_t>(digit);
        }
        *result = bits == 32 ? static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(value)))
                             : static_cast<int64_t>(value);
        return true;
    }
    uint64_t limit = bits == 32 ? (negative ? 2147483648ull : 2147483647ull)
                                : (negative ? 9223372036854775808ull : 9223372036854775807ull);
    uint64_t value = 0;
    for (char c : rest) {
        if (c < '0' || c > '9') return false;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (limit - digit) / 10) return false;
        value = value * 10 + digit;
    }
    *result = negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
    return true;
}

}  // namespace

int32_t IntegerOrDefault(std::string_view text, int32_t defaultValue) {
    int64_t value = 0;
    return ParseInteger(text, 32, &value) ? static_cast<int32_t>(value) : defaultValue;
}

int64_t CountOrDefault(std::string_view text, int64_t defaultValue) {
    int64_t value = 0;
    return ParseInteger(text, 64, &value) ? value : defaultValue;
}
