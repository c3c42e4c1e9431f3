#pragma once
// Reads values of the rule file one at a time through the platform's profile
// service, afresh for every read. No read fails or reports anything: every
// problem with the file shows as the caller's default. Values come back as
// at most 2047 bytes.

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr uint32_t kValueBufferSize = 2048;

struct RuleFileReader {
    std::string path;
};

RuleFileReader OpenRuleFile(std::string_view path);
std::string ReadValueText(const RuleFileReader& reader, const std::string& section, const std::string& key,
                          const std::string& defaultText);
int32_t ReadValueInteger(const RuleFileReader& reader, const std::string& section, const std::string& key,
                         int32_t defaultValue);
void CloseRuleFile(RuleFileReader& reader);
