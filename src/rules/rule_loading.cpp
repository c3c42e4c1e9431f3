#include "rules/rule_loading.h"

#include <algorithm>

#include "codepage/code_page.h"
#include "files/file_system.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "rules/rule_file_reader.h"
#include "text/integer_text.h"
#include "session/console_messages.h"
#include "session/run_options.h"
#include "text/comma_text.h"

namespace {

const std::string kSection = "AssortRules";
const std::string kColumnKey = "ColumnNo";
const std::string kBaseDirKey = "BaseDir";
const std::string kDefaultKey = "Default";
const std::string kCountKey = "Count";
const std::string kCodePageKey = "CodePage";
const std::string kSyncKey = "Sync";
const std::string kHeaderKey = "Header";
const std::string kValueFileKey = "ValueFile";
const std::string kDefaultFileName = "Default.csv";
constexpr int kEntryNameWidth = 3;
// Entry names repeat after 999 ("000", "001", ...), and a repeated entry can
// add no rule: its key is taken already or it was skipped before.
constexpr int32_t kDistinctEntryNames = 1000;

void ReadEntry(const RuleFileReader& reader, int32_t number, TextList& items, RuleSet& rules) {
    std::string value = ReadValueText(reader, kSection, ZeroPad(number, kEntryNameWidth), "");
    if (FirstChars(value, 1) != "[" || LastChars(value, 1) != "]") return;
    SplitCommaText(std::string_view(value).substr(1, value.size() - 2), items);
    if (ItemCount(items) < 2) return;
    std::string_view key = ItemAt(items, 0);
    if (IndexOfText(*rules.RuleKeys, key) >= 0) return;
    std::string_view file = TrimBlanks(ItemAt(items, 1));
    if (file.empty()) return;
    AppendItem(*rules.RuleKeys, key);
    AppendItem(*rules.RuleFiles, file);
    AppendItem(*rules.RuleCounts, "0");
    WidenKeyWidth(rules, TextColumns(key));
}

// The code page of the data: absent or empty is 932; a number (by the rules
// of every integer key) of a code page the program speaks is that one;
// anything else is an error line, and the pass is skipped. The names taken
// so far are carried over into the new code page.
bool ReadCodePage(const RuleFileReader& reader, const std::string& path, RuleSet& rules, RunReport& report,
                  std::initializer_list<std::string*> names) {
    std::string text = ReadValueText(reader, kSection, kCodePageKey, "");
    int32_t value = text.empty() ? static_cast<int32_t>(kCodePageShiftJis) : IntegerOrDefault(text, -1);
    if (value < 0 || !SwitchCodePage(static_cast<uint32_t>(value), names)) {
        WriteError({kBadCodePageMessage, text});
        NoteUserError(report, kDiagnosticBadCodePage, path, text);
        return false;
    }
    rules.CodePage = static_cast<uint32_t>(value);
    return true;
}

// The pattern of the values' files: absent or empty is none; otherwise it
// holds exactly one "*", where the value goes, or it is an error line and
// the pass is skipped.
bool ReadValueFile(const RuleFileReader& reader, const std::string& path, RuleSet& rules, RunReport& report) {
    rules.ValueFile = ReadValueText(reader, kSection, kValueFileKey, "");
    if (rules.ValueFile.empty() || std::count(rules.ValueFile.begin(), rules.ValueFile.end(), '*') == 1) return true;
    WriteError({kBadValueFileMessage, rules.ValueFile});
    NoteUserError(report, kDiagnosticBadValueFile, path, rules.ValueFile);
    return false;
}

// The rule file's full name: a relative one in the current folder (Linux)
// or next to the program (Windows). "C:r.ini" is r.ini in the current
// folder, and so is its folder, where BaseDir lies (not "C:", the root).
std::string FullName(const RuleFileName& file) {
    std::string path = IsFullyQualified(file.typed)
                           ? file.typed
                           : (file.fromHere ? SysCurrentFolder() : PathOf(file.programFile)) + file.typed;
    if (file.fromHere && IsDriveRelative(path)) path = SysCurrentFolder() + path.substr(2);
    return path;
}

}  // namespace

std::string ZeroPad(int64_t number, int width) {
    uint64_t magnitude = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
    std::string padded = std::string(static_cast<size_t>(width), '0') + std::to_string(magnitude);
    padded.erase(0, padded.size() - static_cast<size_t>(width));
    return number < 0 ? "-" + padded : padded;
}

void LoadRules(RuleSet& rules, RunReport& report, RuleFileName& file) {
    std::string path = FullName(file);
    if (file.typed.empty()) {
        WriteError(kNoRuleFileMessage);
        NoteUserError(report, kDiagnosticNoRuleFile);
        rules.ColumnNo = -1;
        return;
    }
    if (!IsExistingFile(path)) {
        WriteError({kRuleFileMissingMessage, file.typed});
        NoteUserError(report, kDiagnosticRuleFileMissing, path, {}, WhyNoFile(path));
        rules.ColumnNo = -1;
        return;
    }
    RuleFileReader reader = OpenRuleFile(path);
    TextList items;
    bool codePageKnown = ReadCodePage(reader, path, rules, report, {&file.typed, &file.programFile, &path});
    if (rules.CodePage != kCodePageShiftJis) {
        // The system is asked for the file again by its name in the new code
        // page.
        CloseRuleFile(reader);
        reader = OpenRuleFile(path);
    }
    const bool fromHere = file.fromHere;

    // A file the system refused to read (Linux) reads as empty, as on
    // Windows, but the user is told why rather than of a missing key.
    std::string_view unreadable;
    bool readable = RuleFileReadable(reader, &unreadable);
    if (!readable) NoteUserError(report, kDiagnosticRuleFileMissing, path, {}, unreadable);

    rules.ColumnNo = ReadValueInteger(reader, kSection, kColumnKey, -1);
    if (rules.ColumnNo < 0) {
        WriteError({kBadColumnMessage, DecimalText(rules.ColumnNo)});
        if (readable) {
            NoteUserError(report, kDiagnosticBadColumn, path,
                          ReadValueText(reader, kSection, kColumnKey, std::string(kDiagnosticAbsent)));
        }
    }

    std::string rulesFolder = PathOf(fromHere ? path : file.programFile);
    rules.BaseDir = ReadValueText(reader, kSection, kBaseDirKey, DirectoryOf(fromHere ? path : file.programFile));
    if (!IsFullyQualified(rules.BaseDir)) rules.BaseDir = rulesFolder + rules.BaseDir;

    rules.DefaultFile = ReadValueText(reader, kSection, kDefaultKey, kDefaultFileName);
    rules.Sync = ReadValueInteger(reader, kSection, kSyncKey, 0) == 1;
    rules.HeaderLines = std::max(ReadValueInteger(reader, kSection, kHeaderKey, 0), 0);
    bool valueFileKnown = ReadValueFile(reader, path, rules, report);

    if (gRunOptions.DebugEnabled) {
        WriteInfo({kDebugRuleFile, path});
        WriteInfo({kDebugColumn, ReadValueText(reader, kSection, kColumnKey, std::string(kDebugAbsent))});
        WriteInfo({kDebugBaseDir, rules.BaseDir});
        WriteInfo({kDebugDefaultFile, rules.DefaultFile});
    }

    int32_t count = std::min(ReadValueInteger(reader, kSection, kCountKey, 0), kDistinctEntryNames);
    for (int32_t number = 1; number <= count; ++number) ReadEntry(reader, number, items, rules);

    CloseRuleFile(reader);
    // An unknown code page or a pattern without its one "*" ends the run
    // without assorting, as a bad column.
    if ((!codePageKnown || !valueFileKnown) && rules.ColumnNo > 0) rules.ColumnNo = 0;
}
