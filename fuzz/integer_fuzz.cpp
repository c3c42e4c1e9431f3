// IntegerOrDefault over arbitrary bytes agrees with a slow reference of the
// same rules, over 32 bits and (for the line counts) over 64 bits; the
// default comes back exactly when the text spells no number; and every
// number written in decimal or hexadecimal reads back as itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "files/file_system.h"
#include "fuzz_support.h"
#include "rules/rule_file_reader.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string_view WithoutLeadingZeros(std::string_view digits) {
    while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
    return digits;
}

// Compares two decimal digit strings without leading zeros by value.
bool NotAbove(std::string_view digits, std::string_view limit) {
    if (digits.size() != limit.size()) return digits.size() < limit.size();
    return digits <= limit;
}

// The rules, step by step, with the range tested on digit strings and the
// value taken by the C library: `bits` is 32 or 64.
std::optional<int64_t> Reference(std::string_view text, int bits) {
    if (text.empty()) return std::nullopt;
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
    if (rest.empty()) return std::nullopt;
    for (char c : rest)
        if (!(hex ? IsHexDigit(c) : IsDigit(c))) return std::nullopt;
    std::string significant(WithoutLeadingZeros(rest));
    if (hex) {
        // At most bits/4 significant digits; the bit pattern is signed; a
        // sign changes nothing.
        if (significant.size() > static_cast<size_t>(bits / 4)) return std::nullopt;
        uint64_t pattern = significant.empty() ? 0 : std::strtoull(significant.c_str(), nullptr, 16);
        if (bits == 32) return static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(pattern)));
        return static_cast<int64_t>(pattern);
    }
    const char* limit = bits == 32 ? (negative ? "2147483648" : "2147483647")
                                   : (negative ? "9223372036854775808" : "9223372036854775807");
    if (!NotAbove(significant, limit)) return std::nullopt;
    if (significant.empty()) return 0;
    if (negative) return std::strtoll(("-" + significant).c_str(), nullptr, 10);
    return std::strtoll(significant.c_str(), nullptr, 10);
}

std::string Hex(uint64_t value) {
    char text[20];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    for (int32_t fallback : {-1, 0, 99, INT32_MIN}) {
        std::optional<int64_t> expected = Reference(input, 32);
        int32_t got = IntegerOrDefault(input, fallback);
        int64_t want = expected.value_or(fallback);
        FUZZ_CHECK(got == want, "got " + std::to_string(got) + ", rules give " +
                                    (expected ? std::to_string(*expected) : "the default") + " (default " +
                                    std::to_string(fallback) + ")");
    }
    for (int64_t fallback : {int64_t{-1}, INT64_MIN}) {
        std::optional<int64_t> expected = Reference(input, 64);
        int64_t got = CountOrDefault(input, fallback);
        FUZZ_CHECK(got == expected.value_or(fallback), "64 bits: got " + std::to_string(got) + ", rules give " +
                                                           (expected ? std::to_string(*expected) : "the default"));
    }

    // Any 32-bit number from the input reads back from its decimal text,
    // from that text after spaces, and from its hexadecimal bit pattern.
    if (size >= 4) {
        uint32_t pattern;
        std::memcpy(&pattern, data, 4);
        const int32_t number = static_cast<int32_t>(pattern);
        const std::string decimal = DecimalText(number);
        FUZZ_CHECK(IntegerOrDefault(decimal, number == 7 ? 8 : 7) == number, "decimal " + decimal);
        FUZZ_CHECK(IntegerOrDefault("   " + decimal, number == 7 ? 8 : 7) == number, "spaces, decimal " + decimal);
        FUZZ_CHECK(IntegerOrDefault(decimal + " ", 7) == 7, "a trailing space is refused: " + decimal);
        for (const char* marker : {"$", "x", "X", "0x", "0X", "-$", "+0x"}) {
            std::string hex = marker + Hex(pattern);
            FUZZ_CHECK(IntegerOrDefault(hex, number == 7 ? 8 : 7) == number, "hex " + hex);
        }
        const int64_t wide = static_cast<int64_t>((static_cast<uint64_t>(pattern) << 32) | pattern);
        FUZZ_CHECK(CountOrDefault(DecimalText(wide), wide == 7 ? 8 : 7) == wide, "64-bit decimal " + DecimalText(wide));
    }
    return 0;
}
