// IntegerOrDefault over arbitrary bytes agrees with a reference of the same
// rules written apart from the parser (a pattern of the whole text and the
// C++ library's conversions), over 32 bits and (for the line counts) over 64 bits; the
// default comes back exactly when the text spells no number; and every
// number written in decimal or hexadecimal reads back as itself.
#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "files/file_system.h"
#include "fuzz_support.h"
#include "text/integer_text.h"

namespace {

// The rules as a pattern of the whole text, read apart from the parser:
// spaces, an optional sign, then either decimal digits, or a hexadecimal
// marker ($, x, X, 0x, 0X) and hexadecimal digits.
const std::regex kDecimal("^ *([+-]?)([0-9]+)$");
const std::regex kHexadecimal("^ *[+-]?(\\$|[xX]|0[xX])([0-9A-Fa-f]+)$");

// What the text reads as over `bits` (32 or 64) bits, or nothing for the
// default. Decimal values are taken by std::from_chars into the target
// width, which refuses what does not fit; hexadecimal ones may have at most
// bits/4 digits after leading zeros, their bit pattern read as signed, and a
// sign changes nothing.
std::optional<int64_t> Reference(const std::string& text, int bits) {
    std::smatch parts;
    if (std::regex_match(text, parts, kDecimal)) {
        std::string spelled = (parts[1] == "-" ? "-" : "") + parts[2].str();
        const char* first = spelled.data();
        const char* last = first + spelled.size();
        if (bits == 32) {
            int32_t value = 0;
            auto [end, error] = std::from_chars(first, last, value);
            if (error != std::errc() || end != last) return std::nullopt;
            return value;
        }
        int64_t value = 0;
        auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end != last) return std::nullopt;
        return value;
    }
    if (std::regex_match(text, parts, kHexadecimal)) {
        std::string digits = parts[2].str();
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
        if (digits.size() > static_cast<size_t>(bits / 4)) return std::nullopt;
        uint64_t pattern = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), pattern, 16);
        if (bits == 32) return static_cast<int32_t>(static_cast<uint32_t>(pattern));
        return static_cast<int64_t>(pattern);
    }
    return std::nullopt;
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
        std::optional<int64_t> expected = Reference(std::string(input), 32);
        int32_t got = IntegerOrDefault(input, fallback);
        int64_t want = expected.value_or(fallback);
        FUZZ_CHECK(got == want, "got " + std::to_string(got) + ", rules give " +
                                    (expected ? std::to_string(*expected) : "the default") + " (default " +
                                    std::to_string(fallback) + ")");
    }
    for (int64_t fallback : {int64_t{-1}, INT64_MIN}) {
        std::optional<int64_t> expected = Reference(std::string(input), 64);
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
