#include "text/json_text.h"

#include "platform/platform.h"
#include "platform/utf8.h"

void AddJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

void AddJsonField(std::string& out, std::string_view key, std::string_view text) {
    AddJsonString(out, key);
    out += ':';
    AddJsonString(out, text);
}

void AddJsonNumber(std::string& out, std::string_view key, int64_t number) {
    AddJsonString(out, key);
    out += ':';
    out += std::to_string(number);
}

std::string Utf8Name(const std::string& shown) {
    return utf8::Sanitized(shown) == shown ? shown : SysTextToUtf8(shown);
}
