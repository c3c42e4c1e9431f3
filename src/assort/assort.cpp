#include "assort/assort.h"

#include <string>
#include <vector>

#include "app/console_messages.h"
#include "app/messages.h"
#include "app/run_options.h"
#include "assort/destinations.h"
#include "assort/summary.h"
#include "files/file_system.h"
#include "files/line_file.h"
#include "process/failure.h"
#include "process/io_result.h"
#include "rules/rule_file_reader.h"
#include "text/comma_text.h"

namespace {


// Where the lines of one rule (or of the default) go. Paths are pure
// functions of the rule table, so they are worked out once, not per line;
// `same` is the first target whose lower-cased path is byte for byte the
// same, which is how an open destination is recognised. Paths equal ignoring
// case are one destination, under the spelling of the first that names it:
// so on a system whose names keep case the lines of both never part.
struct Target {
    std::string path;
    size_t same;
};

std::vector<Target> ResolveTargets(const RuleSet& rules) {
    std::vector<Target> targets;
    std::vector<std::string> lowered;
    auto add = [&](std::string_view name) {
        std::string path = ResolvePath(name, rules.BaseDir);
        std::string lower = LowerText(path);
        size_t same = targets.size();
        for (size_t j = 0; j < lowered.size(); ++j) {
            if (lowered[j] == lower) {
                same = j;
                path = targets[j].path;
                break;
            }
        }
        targets.push_back({std::move(path), same});
        lowered.push_back(std::move(lower));
    };
    add(rules.DefaultFile);
    for (int32_t i = 0; i < ItemCount(*rules.RuleFiles); ++i) add(ItemAt(*rules.RuleFiles, i));
    return targets;
}

// A destination is appended to, and made when missing. Opening never empties
// a file: one that another run made since the test below is appended to.
void OpenDestination(LineFile& destination, const std::string& path) {
    BindLineFile(destination, path);
    if (!IsExistingFile(path)) {
        std::string directory = DirectoryOf(path);
        // A directory that cannot be made shows in the open that follows.
        if (!IsExistingDirectory(directory)) MakeDirectories(directory);
    }
    OpenForAppendingOrCreating(destination);
    CheckIo(kPlaceOpenDestination);
}

// Lines routed by each rule in this pass. They are added to the rules'
// count texts once, after the last line, rather than each text being read
// and written again for every line; a rule that routed no line keeps its
// text untouched.
using AddedCounts = std::vector<int64_t>;

void CountLine(RuleSet& rules, AddedCounts& added, int32_t rule) {
    if (rule < 0) {
        ++rules.OtherCount;
        return;
    }
    ++added[static_cast<size_t>(rule)];
}

void StoreCounts(RuleSet& rules, const AddedCounts& added) {
    TextList& counts = *rules.RuleCounts;
    for (size_t i = 0; i < added.size(); ++i) {
        if (added[i] == 0) continue;
        int32_t rule = static_cast<int32_t>(i);
        ReplaceItem(counts, rule, DecimalText(CountOrDefault(ItemAt(counts, rule), 0) + added[i]));
    }
}

// The rule found for the last value looked up. Values that compare equal,
// ignoring case, compare equal to the same keys, so a value equal to the one
// before it finds the same rule without a scan of the keys.
struct LastLookup {
    std::string value;
    int32_t rule = -1;
    bool known = false;
};

int32_t FindRule(const TextList& keys, LastLookup& last, std::string_view value) {
    if (last.known && (value == last.value || CompareNoCase(value, last.value) == 0)) return last.rule;
    last.rule = IndexOfText(keys, value);
    last.value.assign(value);
    last.known = true;
    return last.rule;
}

}  // namespace

void AssortInput(RuleSet& rules, std::string_view inputWord) {
    std::string inputName(TrimBlanks(inputWord));
    if (inputName.empty()) {
        WriteError(kNoInputFileMessage);
        return;
    }
    if (!IsExistingFile(inputName)) {
        WriteError({kInputFileMissingMessage, inputName});
        return;
    }
    bool writing = !gRunOptions.NoOutput;

    LineFile input;
    BindLineFile(input, inputName);
    OpenForReading(input);
    CheckIo(kPlaceOpenInput);
    // The open input shares no deleting, so clearing cannot remove it.
    if (gRunOptions.ClearOutputs) ClearOutputFiles(rules);

    std::vector<Target> targets = ResolveTargets(rules);
    LineFile destination;
    size_t current = 0;  // the default destination is opened first
    if (writing) OpenDestination(destination, targets[0].path);

    TextList fields;
    std::string line;
    int64_t lineCount = 0;
    AddedCounts added(static_cast<size_t>(ItemCount(*rules.RuleKeys)), 0);
    LastLookup lastLookup;
    for (;;) {
        CheckInterrupt();
        bool ended = AtEndOfFile(input);
        CheckIo(kPlaceReadInput);
        if (ended) break;
        ReadLineText(input, line);
        SkipLineEnd(input);
        CheckIo(kPlaceReadInput);

        // Only the fields up to the routing one matter.
        SplitCommaText(line, fields, rules.ColumnNo);
        ++lineCount;
        std::string_view value = ItemCount(fields) >= rules.ColumnNo ? ItemAt(fields, rules.ColumnNo - 1) : "";
        int32_t rule = FindRule(*rules.RuleKeys, lastLookup, value);
        const Target& target = targets[static_cast<size_t>(rule + 1)];

        if (writing) {
            if (target.same != current) {
                CloseLineFile(destination);
                CheckIo(kPlaceCloseDestination);
                OpenDestination(destination, target.path);
                current = target.same;
            }
            WriteText(destination, line);
            if (PendingIoResult == 0) WriteText(destination, kLineEnd);
            FinishWrite(destination);
            CheckIo(kPlaceWriteDestination);
        }
        CountLine(rules, added, rule);
    }

    ClearItems(fields);
    if (writing) {
        CloseLineFile(destination);
        CheckIo(kPlaceCloseDestination);
    }
    CloseLineFile(input);
    CheckIo(kPlaceCloseInput);
    StoreCounts(rules, added);
    PrintSummary(rules, lineCount);
}
