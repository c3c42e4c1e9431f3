#include "rules/rule_file_reader.h"

#include "platform/platform.h"
#include "text/integer_text.h"


RuleFileReader OpenRuleFile(std::string_view path) { return RuleFileReader{std::string(path)}; }

std::string ReadValueText(const RuleFileReader& reader, const std::string& section, const std::string& key,
                          const std::string& defaultText) {
    char buffer[kValueBufferSize];
    uint32_t length = SysGetPrivateProfileString(section, key, defaultText, buffer, kValueBufferSize, reader.path);
    if (length >= kValueBufferSize) length = kValueBufferSize - 1;
    return std::string(buffer, length);
}

int32_t ReadValueInteger(const RuleFileReader& reader, const std::string& section, const std::string& key,
                         int32_t defaultValue) {
    return IntegerOrDefault(ReadValueText(reader, section, key, ""), defaultValue);
}

bool RuleFileReadable(const RuleFileReader& reader, std::string_view* reason) {
    SysError why;
    if (SysProfileReadable(reader.path, &why)) return true;
    *reason = why.reason;
    return false;
}

void CloseRuleFile(RuleFileReader& reader) { SysFlushPrivateProfile(reader.path); }
