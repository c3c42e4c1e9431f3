#pragma once
// Reads values of the rule file one at a time through the platform's profile
// service (which may keep the file read until the close: the Linux one reads
// it once into an index). No read fails or reports anything: every problem
// with the file shows as the caller's default; the caller may ask whether
// the system refused to read the file at all (Linux). Values come back as at
// most 2047 bytes.

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
// False, with the system's reason, where the system refused to open or read
// the file (Linux; the Windows program reads such a file as empty).
bool RuleFileReadable(const RuleFileReader& reader, std::string_view* reason);
void CloseRuleFile(RuleFileReader& reader);
