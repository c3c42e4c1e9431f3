#include "assort/summary.h"

#include "assort/destinations.h"
#include "codepage/code_page.h"
#include "files/file_system.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "process/diagnostics.h"
#include "session/console_messages.h"
#include "session/run_options.h"

namespace {

// A JSON string of UTF-8 text.
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

// A name as the system spells it, in UTF-8: the system's names are UTF-8;
// a name that could not be converted for it stands in the data's code page
// and is converted here, U+FFFD for what does not convert.
std::string Utf8Name(const std::string& shown) {
    return utf8::Sanitized(shown) == shown ? shown : SysTextToUtf8(shown);
}

void AddDestination(std::string& out, const std::string& path, std::string_view count) {
    out += "\"path\":";
    AddJsonString(out, Utf8Name(SysShownName(path)));
    out += ",\"count\":";
    out += count;
}

// One JSON object on one line, for scripts: the input, the lines read (and
// the header lines taken, with Header), each rule in order (and each value's
// file, with ValueFile), and the default destination.
void PrintSummaryJson(const RuleSet& rules, int64_t lineCount) {
    std::string out = "{\"input\":";
    AddJsonString(out, Utf8Name(gRunProgress.inputName));
    out += ",\"lines\":" + DecimalText(lineCount);
    if (rules.HeaderLines > 0) out += ",\"header\":" + DecimalText(rules.HeaderTaken);
    out += ",\"rules\":[";
    for (int32_t i = 0; i < ItemCount(*rules.RuleKeys); ++i) {
        out += i == 0 ? "{\"key\":" : ",{\"key\":";
        AddJsonString(out, SysTextToUtf8(ItemAt(*rules.RuleKeys, i)));
        out += ',';
        AddDestination(out, ResolvePath(ItemAt(*rules.RuleFiles, i), rules.BaseDir), ItemAt(*rules.RuleCounts, i));
        out += '}';
    }
    out += ']';
    if (!rules.ValueFile.empty()) {
        out += ",\"values\":[";
        for (size_t i = 0; i < rules.Values.size(); ++i) {
            out += i == 0 ? "{\"value\":" : ",{\"value\":";
            AddJsonString(out, SysTextToUtf8(rules.Values[i].value));
            out += ',';
            AddDestination(out, rules.Values[i].path, DecimalText(rules.Values[i].count));
            out += '}';
        }
        out += ']';
    }
    out += ",\"default\":{";
    AddDestination(out, ResolvePath(rules.DefaultFile, rules.BaseDir), DecimalText(rules.OtherCount));
    out += "}}\n";
    SysConsoleTextInUtf8();
    WriteConsoleText(out);
}

}  // namespace

std::string PadRight(std::string_view text, char fill, int32_t width) {
    int32_t columns = 0;
    size_t i = 0;
    while (i < text.size() && columns < width) {
        ColumnStep step = NextColumnStep(text, i);
        // A wide character that no longer fits leaves its last column blank.
        if (columns + step.columns > width) break;
        columns += step.columns;
        i = step.next;
    }
    std::string padded(text.substr(0, i));
    padded.append(static_cast<size_t>(width > columns ? width - columns : 0), fill);
    return padded;
}

void PrintSummary(const RuleSet& rules, int64_t lineCount) {
    if (gRunOptions.SummaryJson) {
        PrintSummaryJson(rules, lineCount);
        return;
    }
    WriteInfo({kSummaryInputCount, DecimalText(lineCount), kSummaryCountUnit});
    WriteInfo(kSummaryHeading);
    for (int32_t i = 0; i < ItemCount(*rules.RuleKeys); ++i) {
        WriteInfo({kSummaryItemPrefix, PadRight(ItemAt(*rules.RuleKeys, i), ' ', rules.KeyWidth), kSummaryItemSeparator,
                   ItemAt(*rules.RuleCounts, i), kSummaryCountUnit});
    }
    for (const ValueCount& value : rules.Values) {
        WriteInfo({kSummaryItemPrefix, PadRight(value.value, ' ', rules.KeyWidth), kSummaryItemSeparator,
                   DecimalText(value.count), kSummaryCountUnit});
    }
    WriteInfo({kSummaryItemPrefix, PadRight(kSummaryOtherLabel, ' ', rules.KeyWidth), kSummaryItemSeparator,
               DecimalText(rules.OtherCount), kSummaryCountUnit});
}
