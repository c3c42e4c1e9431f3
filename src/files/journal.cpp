#include "files/journal.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

#include "files/file_system.h"
#include "messages/messages.h"
#include "process/io_result.h"

namespace {

constexpr std::string_view kHeader = "rowdispatch journal 1 ";

std::string SlotName(const std::string& folder, uint32_t slot) {
    // Built by appending: GCC 12 for i686 takes `literal + string` here for
    // an overlapping copy and refuses it.
    std::string name = folder;
    if (!name.empty()) name += '\\';
    name.append(".rowdispatch-").append(std::to_string(slot)).append(".journal");
    return name;
}

// With sync, a destination's end is announced this far ahead of what it
// holds, so that the journal reaches the disk once in so many bytes of it
// (and once for every destination opened since), not before every block.
constexpr uint64_t kSyncStep = 8 * 1024 * 1024;

// Hands the record to the system; with sync, a `durable` one reaches the
// disk at the next SyncJournal, before any byte it tells of.
bool WriteRecord(Journal& journal, const std::string& record, bool durable = true) {
    uint32_t written = 0;
    if (durable) journal.unsynced = journal.sync;
    return SysWriteFile(journal.handle, record.data(), static_cast<uint32_t>(record.size()), &written);
}

bool SyncJournal(Journal& journal) {
    if (!journal.unsynced) return true;
    journal.unsynced = false;
    return SysFlushFileBuffers(journal.handle);
}

// "A n end", with sync: the file will hold at most `end` bytes until the
// next such record.
bool AnnounceEnd(JournalEntry& entry, uint64_t end) {
    entry.announcedEnd = end;
    return WriteRecord(*entry.journal, "A " + std::to_string(entry.number) + " " + std::to_string(end) + "\n");
}

// What a journal says of one destination; its file holding between `low`
// and `high` bytes holds nothing but the run's bytes after its old ones.
struct Recorded {
    std::string path;
    SysFileIdentity identity;
    uint64_t size = 0;
    uint64_t low = 0;
    uint64_t high = 0;
    bool created = false;
    bool changed = false;
    uint64_t ahead = 0;  // with sync: the end announced ahead
};

// Cuts the destination back to its size before the run, or removes it when
// the run made it; false when it is left as it is (another file by now,
// other bytes than the run's, out of reach). One that is gone holds none of
// the run's bytes.
bool PutBackOne(const Recorded& recorded, bool sync) {
    if (recorded.changed) return false;
    SysHandle file = SysCreateFile(recorded.path, kGenericRead | kGenericWrite, kShareRead, kOpenExisting,
                                   kAttributeNormal);
    if (file == kInvalidHandle) {
        uint32_t code = SysLastError();
        return code == kErrorFileNotFound || code == kErrorPathNotFound;
    }
    SysFileIdentity now;
    uint64_t size = 0;
    bool ours = SysGetFileIdentity(file, &now) && now == recorded.identity && SysGetFileSize(file, &size) &&
                size >= recorded.low && size <= recorded.high;
    bool done = ours && SysTruncateFile(file, recorded.created ? 0 : recorded.size) &&
                (!sync || SysFlushFileBuffers(file));
    SysCloseHandle(file);
    if (done && recorded.created) {
        done = SysDeleteFile(recorded.path);
        if (sync) SysFlushFolder(DirectoryOf(recorded.path));
    }
    return done;
}

// One line on the diagnostic stream: what was put back, and the names of
// the destinations left as they are.
void TellPutBack(const std::string& what, const std::vector<std::string>& left) {
    std::string line = what;
    if (!left.empty()) {
        line += kDiagnosticLeftAsTheyAre;
        for (size_t i = 0; i < left.size(); ++i) line += (i == 0 ? "" : ", ") + SysShownName(left[i]);
    }
    SysWriteDiagnostic(std::string(kDiagnosticPrefix) + line + "\n");
}

// The journal emptied and removed: it lists nothing to put back even where
// the removal fails.
bool DropJournalFile(SysHandle file, const std::string& path) {
    bool emptied = SysTruncateFile(file, 0);
    SysCloseHandle(file);
    if (emptied) SysDeleteFile(path);
    return emptied;
}

bool TakeNumber(std::string_view& text, uint64_t& number) {
    auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    if (result.ec != std::errc() || result.ptr == text.data() + text.size() || *result.ptr != ' ') {
        bool atEnd = result.ec == std::errc() && result.ptr == text.data() + text.size();
        text = {};
        return atEnd;
    }
    text.remove_prefix(static_cast<size_t>(result.ptr - text.data()) + 1);
    return true;
}

// The destinations a journal lists; false when it is not one this run can
// read (another code page: a run of that code page puts it back).
bool ParseJournal(std::string_view text, uint32_t codePage, std::vector<Recorded>& found) {
    bool sameBoot = false;
    size_t end = text.find('\n');
    std::string expected = std::string(kHeader) + std::to_string(codePage);
    if (end == std::string_view::npos || text.substr(0, end) != expected) return false;
    text.remove_prefix(end + 1);
    // A last record without its line end (a power cut while it was written)
    // told of nothing that happened.
    for (end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (line.size() < 2 || line[1] != ' ') continue;
        char kind = line[0];
        line.remove_prefix(2);
        if (kind == 'B') {
            sameBoot = SysSameBoot(line);
            continue;
        }
        uint64_t number = 0;
        if (!TakeNumber(line, number) || number > found.size()) continue;
        if (kind == 'O' && number == found.size()) {
            Recorded recorded;
            uint64_t created = 0;
            if (!TakeNumber(line, created) || !TakeNumber(line, recorded.identity.device) ||
                !TakeNumber(line, recorded.identity.index) || !TakeNumber(line, recorded.size) || line.empty()) {
                continue;
            }
            recorded.created = created == 1;
            recorded.path.assign(line);
            recorded.low = recorded.high = recorded.size;
            found.push_back(std::move(recorded));
        } else if (number < found.size()) {
            Recorded& recorded = found[number];
            uint64_t next = 0;
            if (kind == 'W' && TakeNumber(line, next)) {
                recorded.low = recorded.high;
                recorded.high = next;
            }
            if (kind == 'A' && TakeNumber(line, next)) recorded.ahead = std::max(recorded.ahead, next);
            if (kind == 'C') recorded.changed = true;
        }
    }
    // The system started again since (a power cut): only what reached the
    // disk counts, anything from the old size up to the end announced.
    if (!sameBoot) {
        for (Recorded& recorded : found) {
            recorded.low = recorded.size;
            recorded.high = std::max(recorded.high, recorded.ahead);
        }
    }
    return true;
}

// The journal of a run that died, open here: its destinations put back.
// False when this run cannot read it.
bool RecoverFrom(SysHandle file, const std::string& name, uint32_t codePage) {
    std::string text;
    char block[65536];
    uint32_t delivered = 0;
    while (SysReadFile(file, block, sizeof block, &delivered) && delivered > 0) text.append(block, delivered);
    if (text.empty()) return true;
    std::vector<Recorded> found;
    if (!ParseJournal(text, codePage, found)) return false;
    std::vector<std::string> left;
    for (const Recorded& recorded : found) {
        if (!PutBackOne(recorded, false)) left.push_back(recorded.path);
    }
    std::string what(kDiagnosticEarlierRunPutBack);
    size_t mark = what.find("%s");
    if (mark != std::string::npos) what.replace(mark, 2, SysShownName(name));
    TellPutBack(what, left);
    return SysTruncateFile(file, 0);
}

std::string OpenRecord(const JournalEntry& entry) {
    // Built in one allocation whatever the numbers' lengths, so that a run
    // allocates the same for every destination it opens.
    char numbers[4][24];
    std::string_view texts[4];
    const uint64_t values[4] = {entry.number, entry.identity.device, entry.identity.index, entry.recordedSize};
    size_t length = entry.path.size() + 16;
    for (size_t i = 0; i < 4; ++i) {
        auto end = std::to_chars(numbers[i], numbers[i] + sizeof numbers[i], values[i]).ptr;
        texts[i] = std::string_view(numbers[i], static_cast<size_t>(end - numbers[i]));
        length += texts[i].size();
    }
    std::string record;
    record.reserve(length);
    record.append("O ").append(texts[0]).append(entry.created ? " 1 " : " 0 ").append(texts[1]).append(" ");
    record.append(texts[2]).append(" ").append(texts[3]).append(" ").append(entry.path).append("\n");
    return record;
}

}  // namespace

void StartJournal(Journal& journal, const std::string& folder, uint32_t codePage, bool sync) {
    journal.folder = folder;
    journal.sync = sync;
    if (!folder.empty() && !IsExistingDirectory(folder)) MakeDirectories(folder, &journal.folderFailure);
    uint32_t refusal = kErrorSharingViolation;
    for (uint32_t slot = 0; slot < kJournalSlots; ++slot) {
        std::string name = SlotName(folder, slot);
        bool exists = SysGetFileAttributes(name) != kInvalidAttributes;
        if (!exists && journal.handle != kInvalidHandle) continue;
        // Held by a run still going: a conflict, and the next slot is tried.
        SysHandle file = SysCreateFile(name, kGenericRead | kGenericWrite, kShareRead,
                                       exists ? kOpenExisting : kOpenAlways, kAttributeNormal);
        if (file == kInvalidHandle) {
            refusal = SysLastError();
            continue;
        }
        if (!RecoverFrom(file, name, codePage)) {
            SysCloseHandle(file);
        } else if (journal.handle == kInvalidHandle) {
            journal.handle = file;
            journal.path = name;
        } else {
            DropJournalFile(file, name);
        }
    }
    if (journal.handle == kInvalidHandle) {
        StoreIoResult(static_cast<int32_t>(refusal));
        return;
    }
    std::string header = std::string(kHeader) + std::to_string(codePage) + "\nB " + SysBootRecord() + "\n";
    bool started = SysTruncateFile(journal.handle, 0) && WriteRecord(journal, header) && SyncJournal(journal) &&
                   (!sync || SysFlushFolder(folder));
    if (!started) StoreIoResult(static_cast<int32_t>(SysLastError()));
}

JournalEntry* RecordDestination(Journal& journal, const std::string& path, SysHandle file, bool created,
                                uint64_t size) {
    const bool sync = journal.sync;
    JournalEntry& entry = journal.entries.emplace_back();
    entry.journal = &journal;
    entry.path = path;
    entry.recordedSize = entry.knownEnd = size;
    entry.created = created;
    entry.number = static_cast<uint32_t>(journal.entries.size() - 1);
    entry.announcedEnd = size;
    // With sync its first step is announced at once: the destinations
    // opened before the first block is written share one flush.
    if (!SysGetFileIdentity(file, &entry.identity) || !WriteRecord(journal, OpenRecord(entry)) ||
        (sync && !AnnounceEnd(entry, size + kSyncStep))) {
        StoreIoResult(static_cast<int32_t>(SysLastError()));
    }
    return &entry;
}

bool RecordEnd(JournalEntry& entry, uint64_t end) {
    Journal& journal = *entry.journal;
    if (journal.sync && end > entry.announcedEnd && !AnnounceEnd(entry, std::max(end, entry.knownEnd + kSyncStep))) {
        return false;
    }
    // The exact end serves a run killed; it need not reach the disk, which
    // holds the end announced ahead for a power cut.
    return WriteRecord(journal, "W " + std::to_string(entry.number) + " " + std::to_string(end) + "\n", false) &&
           SyncJournal(journal);
}

void RecordChanged(JournalEntry& entry) {
    entry.changed = true;
    if (WriteRecord(*entry.journal, "C " + std::to_string(entry.number) + "\n")) SyncJournal(*entry.journal);
}

void EndJournal(Journal& journal) {
    if (journal.handle == kInvalidHandle) return;
    // With sync the names of the files the run made reach the disk before
    // the journal that would remove them goes.
    // Each folder once, however many files the run made in it.
    bool durable = true;
    std::vector<std::string> flushed;
    for (const JournalEntry& entry : journal.entries) {
        if (!journal.sync || !entry.created) continue;
        std::string folder = DirectoryOf(entry.path);
        if (std::find(flushed.begin(), flushed.end(), folder) != flushed.end()) continue;
        durable = SysFlushFolder(folder) && durable;
        flushed.push_back(std::move(folder));
    }
    if (!durable || !SysTruncateFile(journal.handle, 0) || (journal.sync && !SysFlushFileBuffers(journal.handle))) {
        StoreIoResult(static_cast<int32_t>(SysLastError()));
        return;
    }
    SysCloseHandle(journal.handle);
    journal.handle = kInvalidHandle;
    SysDeleteFile(journal.path);
    if (journal.sync) SysFlushFolder(journal.folder);
}

bool PutBackDestinations(Journal& journal) {
    if (journal.handle == kInvalidHandle) return false;
    try {
        std::vector<std::string> left;
        for (const JournalEntry& entry : journal.entries) {
            Recorded recorded{entry.path,     entry.identity, entry.recordedSize, entry.knownEnd,
                              entry.knownEnd, entry.created,  entry.changed};
            if (!PutBackOne(recorded, journal.sync)) left.push_back(entry.path);
        }
        if (!journal.entries.empty()) TellPutBack(std::string(kDiagnosticPutBack), left);
        DropJournalFile(journal.handle, journal.path);
        journal.handle = kInvalidHandle;
        return left.empty();
    } catch (...) {
        // Memory ran out: the journal stays, and the next run puts back.
        return false;
    }
}
