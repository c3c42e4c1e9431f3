#include "assort/assort.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "assort/destination_table.h"
#include "assort/destinations.h"
#include "assort/summary.h"
#include "assort/value_files.h"
#include "files/file_system.h"
#include "files/line_file.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "process/failure.h"
#include "process/io_result.h"
#include "session/console_messages.h"
#include "session/run_options.h"
#include "session/run_report.h"
#include "text/comma_text.h"
#include "text/integer_text.h"

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
    // The first target of each lower-cased path: found at once, however
    // many rules name files.
    std::unordered_map<std::string, size_t> firstOfPath;
    auto add = [&](std::string_view name) {
        std::string path = ResolvePath(name, rules.BaseDir);
        auto [first, isNew] = firstOfPath.try_emplace(LowerText(path), targets.size());
        if (!isNew) path = targets[first->second].path;
        targets.push_back({std::move(path), first->second});
    };
    add(rules.DefaultFile);
    for (int32_t i = 0; i < ItemCount(*rules.RuleFiles); ++i) add(ItemAt(*rules.RuleFiles, i));
    return targets;
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

// The rules found for the values looked up so far, by their exact bytes:
// bytes that are equal compare equal, ignoring case, to the same keys,
// whatever the platform's comparison, so a value seen before finds its rule
// without a scan of the keys. Input whose values come in any order (the
// usual export) is thus looked up once per distinct value. The table starts
// small and doubles up to kKnownValues values, then starts afresh when it
// is full, and keeps no value longer than kKnownValueLength, so that memory
// does not grow with the input (a long value is rare, and its scan costs
// little beside it).
constexpr size_t kKnownValues = 4096;
constexpr size_t kKnownValueLength = 256;
constexpr size_t kFirstKnownSlots = 64;  // a power of two, as every size after it

struct KnownValue {
    std::string value;
    uint64_t hash = 0;
    int32_t rule = -1;
    bool used = false;
};

struct KnownValues {
    std::vector<KnownValue> slots = std::vector<KnownValue>(kFirstKnownSlots);
    size_t count = 0;
    size_t last = 0;  // the slot of the last value looked up
};

uint64_t HashOf(std::string_view value) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : value) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

// The slot where the value with this hash is, or the empty one where it goes.
size_t KnownSlot(const KnownValues& known, uint64_t hash, std::string_view value) {
    const size_t mask = known.slots.size() - 1;
    size_t slot = static_cast<size_t>(hash) & mask;
    for (; known.slots[slot].used; slot = (slot + 1) & mask) {
        const KnownValue& entry = known.slots[slot];
        if (entry.hash == hash && entry.value == value) break;
    }
    return slot;
}

// Makes room for one more value: twice the slots while the table may still
// grow, else an empty table.
void MakeRoom(KnownValues& known) {
    if (2 * (known.count + 1) <= known.slots.size()) return;
    if (known.count == kKnownValues) {
        for (KnownValue& entry : known.slots) entry.used = false;
        known.count = 0;
        return;
    }
    std::vector<KnownValue> old(2 * known.slots.size());
    old.swap(known.slots);
    known.last = 0;
    for (KnownValue& entry : old) {
        if (entry.used) known.slots[KnownSlot(known, entry.hash, entry.value)] = std::move(entry);
    }
}

int32_t FindRule(const TextList& keys, KnownValues& known, std::string_view value) {
    if (ItemCount(keys) == 0) return -1;  // a file for every value, and no rule
    KnownValue& last = known.slots[known.last];
    if (last.used && last.value == value) return last.rule;
    if (value.size() > kKnownValueLength) return IndexOfText(keys, value);
    uint64_t hash = HashOf(value);
    size_t slot = KnownSlot(known, hash, value);
    if (!known.slots[slot].used) {
        MakeRoom(known);
        slot = KnownSlot(known, hash, value);
        KnownValue& entry = known.slots[slot];
        entry.value.assign(value);
        entry.hash = hash;
        entry.rule = IndexOfText(keys, value);
        entry.used = true;
        ++known.count;
    }
    known.last = slot;
    return known.slots[slot].rule;
}

// Reads the next input line; false at the end of the input.
bool ReadInputLine(LineFile& input, RunProgress& progress, std::string& spill, std::string_view& line) {
    CheckInterrupt();
    bool ended = AtEndOfFile(input);
    CheckIo(kPlaceReadInput, input.name);
    if (ended) return false;
    line = ReadLine(input, spill);
    CheckIo(kPlaceReadInput, input.name);
    CountLineRead(progress);  // the run's line count, for the summary and the diagnostics alike
    TickProgress(progress);
    return true;
}

}  // namespace

void AssortInput(RuleSet& rules, RunReport& report, std::string_view inputWord) {
    std::string inputName(TrimBlanks(inputWord));
    if (inputName.empty()) {
        WriteError(kNoInputFileMessage);
        NoteUserError(report, kDiagnosticNoInput);
        return;
    }
    const bool standardInput = inputName == "-" && gRunOptions.DashInput;
    if (!standardInput && !IsExistingFile(inputName)) {
        WriteError({kInputFileMissingMessage, inputName});
        NoteUserError(report, kDiagnosticInputMissing, inputName, {}, WhyNoFile(inputName));
        return;
    }
    RunProgress& progress = report.progress;
    bool writing = !gRunOptions.NoOutput;

    LineFile input;
    BindLineFile(input, inputName);
    if (standardInput) {
        OpenStandardInput(input);
    } else {
        OpenForReading(input);
    }
    StartRunProgress(progress, inputName, input.handle, gRunOptions.ProgressEnabled);
    CheckIo(kPlaceOpenInput, inputName);
    std::vector<Target> targets = ResolveTargets(rules);
    DestinationTable table;
    table.everyPutBack = &progress.everyPutBack;
    // The journal lives beside the default destination, whose folder every
    // writing run writes; runs that died there are put back first.
    if (writing) StartJournal(table, DirectoryOf(targets[0].path), rules.CodePage, rules.Sync);
    // The open input shares no deleting, so clearing cannot remove it.
    if (gRunOptions.ClearOutputs) ClearOutputFiles(rules);

    // The header: the input's first lines, neither routed nor counted. They
    // are taken before the default destination opens, which gets them too.
    std::string spill;  // a line that does not lie whole in one block of input
    spill.reserve(kReadBlockSize);
    std::vector<std::string> header;
    while (static_cast<int64_t>(header.size()) < rules.HeaderLines) {
        std::string_view line;
        if (!ReadInputLine(input, progress, spill, line)) break;
        header.emplace_back(line);
        CountLineRouted(progress);
    }
    rules.HeaderTaken = static_cast<int64_t>(header.size());

    table.header = &header;
    if (writing) {
        std::vector<std::string> paths;
        for (const Target& target : targets) paths.push_back(target.path);
        StartDestinations(table, paths);
        OpenDestination(table, 0);  // the default destination is opened first
    }
    ValueFiles valueFiles;
    StartValueFiles(valueFiles, rules, writing, gRunOptions.ClearOutputs);
    std::vector<size_t> valueSlots;                       // the destination of each value's file
    std::unordered_map<std::string, size_t> targetSlots;  // the rules' and the default's, by lower-cased path
    if (valueFiles.active) {
        for (const Target& target : targets) targetSlots.emplace(LowerText(target.path), target.same);
    }

    std::string value;  // the routing field of the line; empty when the line is shorter
    AddedCounts added(static_cast<size_t>(ItemCount(*rules.RuleKeys)), 0);
    KnownValues knownValues;
    for (;;) {
        std::string_view line;
        if (!ReadInputLine(input, progress, spill, line)) break;
        const int64_t lineNumber = progress.linesRead;

        // Only the routing field is kept.
        CommaTextItem(line, rules.ColumnNo - 1, value);
        int32_t rule = FindRule(*rules.RuleKeys, knownValues, value);
        size_t slot = targets[static_cast<size_t>(rule + 1)].same;
        if (rule < 0 && valueFiles.active && !value.empty()) {
            // Rules first; a value that none names has a file of its own.
            bool met = false;
            size_t number = FindValueFile(valueFiles, rules, value, met);
            if (met && writing) {
                // A path that a rule or the default names is that destination.
                auto same = targetSlots.find(LowerText(rules.Values[number].path));
                valueSlots.push_back(same != targetSlots.end() ? same->second
                                                               : AddDestination(table, rules.Values[number].path));
            }
            ++rules.Values[number].count;
            if (writing) RouteLine(table, valueSlots[number], line, lineNumber);
        } else {
            if (writing) RouteLine(table, slot, line, lineNumber);
            CountLine(rules, added, rule);
        }
        CountLineRouted(progress);
    }
    EndRunProgress(progress);

    if (writing) CloseDestinations(table);
    CloseLineFile(input);
    CheckIo(kPlaceCloseInput, inputName);
    StoreCounts(rules, added);
    PrintSummary(rules, progress, progress.linesRead - rules.HeaderTaken);
    if (writing) CommitDestinations(table);
}
