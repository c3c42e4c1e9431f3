#include "assort/destination_table.h"

#include <algorithm>

#include "files/file_system.h"
#include "messages/messages.h"
#include "process/failure.h"
#include "process/io_result.h"

namespace {

// A destination is appended to, and made when missing; its folder is made
// when the open finds none. Opening never empties a file: one that another
// run made meanwhile is appended to. Gives the folder that could not be
// made, if any, in `folder`.
void OpenMaking(LineFile& file, FolderFailure* folder) {
    OpenForAppendingOrCreating(file);
    if (PendingIoResult != static_cast<int32_t>(kErrorPathNotFound)) return;
    std::string directory = DirectoryOf(file.name);
    if (IsExistingDirectory(directory)) return;
    // A directory that cannot be made shows in the open that follows.
    TakeIoError();
    MakeDirectories(directory, folder);
    OpenForAppendingOrCreating(file);
}

}  // namespace

const DestinationCalls kLineFileCalls = {OpenMaking, ReopenForAppending, WriteLine, WritePending, CloseLineFile};

namespace {

bool IsOpen(const Destination& destination) { return destination.file.state == LineFileState::Writing; }
bool IsAside(const Destination& destination) { return destination.file.state == LineFileState::Aside; }

// The orders of last use: a destination leaves its order when it is closed
// or put aside, and goes to the newest end of it at its open, as it is put
// aside and at every line.
void Unlink(DestinationTable& table, UseOrder& order, size_t slot) {
    Destination& destination = *table.slots[slot];
    (destination.older == kNoSlot ? order.oldest : table.slots[destination.older]->newer) = destination.newer;
    (destination.newer == kNoSlot ? order.newest : table.slots[destination.newer]->older) = destination.older;
    destination.newer = destination.older = kNoSlot;
}

void LinkNewest(DestinationTable& table, UseOrder& order, size_t slot) {
    Destination& destination = *table.slots[slot];
    destination.older = order.newest;
    (order.newest == kNoSlot ? order.oldest : table.slots[order.newest]->newer) = slot;
    order.newest = slot;
}

void MakeNewest(DestinationTable& table, UseOrder& order, size_t slot) {
    if (order.newest == slot) return;
    Unlink(table, order, slot);
    LinkNewest(table, order, slot);
}

// The I/O check after a close or a putting aside. A file whose name went
// while it was open lost every line written to it since the open, not only
// those still pending.
void CheckClose(Destination& destination) {
    if (PendingIoResult == 0) return;
    bool gone = PendingIoResult == static_cast<int32_t>(kErrorFileNotFound);
    int64_t firstMissing = gone ? destination.firstSinceOpen : destination.firstPending;
    destination.firstPending = destination.firstSinceOpen = 0;
    CheckIo(kPlaceCloseDestination, destination.path, firstMissing);
}

// The buffer of a destination closed goes to `next` when that has none,
// and is let go otherwise.
void PassBuffer(DestinationTable& table, Destination& from, Destination* next) {
    if (from.file.capacity == 0) return;
    if (next != nullptr && next->file.capacity == 0) {
        next->file.buffer = std::move(from.file.buffer);
        next->file.capacity = from.file.capacity;
        next->file.backed = from.file.backed;
    } else {
        from.file.buffer.reset();
        --table.bufferCount;
    }
    from.file.capacity = 0;
    from.file.backed = 0;
}

// Writes out the slot's pending lines and closes it, with the I/O check;
// its buffer passes to `next`.
void CloseOne(DestinationTable& table, size_t slot, Destination* next = nullptr) {
    Destination& destination = *table.slots[slot];
    Unlink(table, table.open, slot);
    --table.openCount;
    if (table.journal.sync) WritePendingToDisk(destination.file);
    if (PendingIoResult == 0) table.calls->close(destination.file);
    CheckClose(destination);
    destination.firstPending = destination.firstSinceOpen = 0;
    PassBuffer(table, destination, next);
}

// Frees a descriptor for `next`: the open destination used least recently
// is put aside with its pending lines, or, when it has none or `next` wants
// its buffer and the budget allows no other, written out and closed.
void PutAside(DestinationTable& table, Destination& next) {
    size_t slot = table.open.oldest;
    if (slot == kNoSlot) return;
    Destination& oldest = *table.slots[slot];
    bool bufferWanted = next.file.capacity == 0 && table.bufferCount >= table.bufferBound;
    if (oldest.file.position > 0 && !bufferWanted && !oldest.sameFile) {
        Unlink(table, table.open, slot);
        --table.openCount;
        SetAside(oldest.file);
        CheckClose(oldest);
        // Its pending lines go out through the handle of its next open.
        oldest.firstSinceOpen = oldest.firstPending;
        LinkNewest(table, table.aside, slot);
        return;
    }
    CloseOne(table, slot, &next);
}

size_t FilePlace(const DestinationTable& table, const SysFileIdentity& identity) {
    uint64_t hash = (identity.index ^ (identity.device * 0x9E3779B97F4A7C15ull)) * 0xFF51AFD7ED558CCDull;
    return static_cast<size_t>(hash >> 32) & (table.files.size() - 1);
}

// The first destination whose record names the file, or kNoSlot.
size_t FindFile(const DestinationTable& table, const SysFileIdentity& identity) {
    if (table.files.empty()) return kNoSlot;
    for (size_t at = FilePlace(table, identity); table.files[at] != 0; at = (at + 1) & (table.files.size() - 1)) {
        size_t slot = table.files[at] - 1;
        if (table.slots[slot]->record->identity == identity) return slot;
    }
    return kNoSlot;
}

void PlaceFile(DestinationTable& table, size_t slot) {
    size_t at = FilePlace(table, table.slots[slot]->record->identity);
    while (table.files[at] != 0) at = (at + 1) & (table.files.size() - 1);
    table.files[at] = static_cast<uint32_t>(slot + 1);
}

// Notes the slot as the first destination of the file its record names.
void AddFile(DestinationTable& table, size_t slot) {
    if (2 * (table.fileCount + 1) > table.files.size()) {
        std::vector<uint32_t> old(std::max<size_t>(64, 2 * table.files.size()), 0);
        old.swap(table.files);
        for (uint32_t entry : old) {
            if (entry != 0) PlaceFile(table, entry - 1);
        }
    }
    PlaceFile(table, slot);
    ++table.fileCount;
}

// A destination put aside is opened again only as the file the run left:
// gone, another file by that name, or shorter than the run left it, it
// fails with 2, its pending lines never written there. One that another
// program appended to is written on, and never cut back.
void Reopen(DestinationTable& table, Destination& destination) {
    LineFile& file = destination.file;
    JournalEntry& record = *destination.record;
    table.calls->reopen(file);
    if (PendingIoResult != 0) return;
    SysFileIdentity identity;
    if (!SysGetFileIdentity(file.handle, &identity) || !(identity == record.identity) || file.size < record.knownEnd) {
        DropPending(file);
        table.calls->close(file);
        TakeIoResult();
        StoreIoResult(static_cast<int32_t>(kErrorFileNotFound));
        return;
    }
    if (file.size > record.knownEnd) RecordChanged(record);
    file.record = &record;
}

// The one place a destination is opened. At its first open the journal
// records it, before any byte of it is written; a destination whose file
// another one names already (two spellings, a link) shares that one's
// record, so that the journal knows every byte the run wrote to the file.
// Gives the folder that could not be made, if any.
FolderFailure OpenByPath(DestinationTable& table, size_t slot) {
    Destination& destination = *table.slots[slot];
    FolderFailure folder;
    if (destination.record != nullptr) {
        Reopen(table, destination);
        return folder;
    }
    const std::string& path = destination.path;
    // Once bound, a destination keeps its name (and the lines put aside).
    if (!destination.opened) BindLineFile(destination.file, path);
    LineFile& file = destination.file;
    table.calls->open(file, &folder);
    if (PendingIoResult != 0 || !table.journaled) return folder;
    SysFileIdentity identity;
    size_t first = SysGetFileIdentity(file.handle, &identity) ? FindFile(table, identity) : kNoSlot;
    if (first != kNoSlot) {
        Destination& other = *table.slots[first];
        destination.sameFile = other.sameFile = true;
        destination.record = file.record = other.record;
        return folder;
    }
    destination.record = RecordDestination(table.journal, path, file.handle, file.created, file.size);
    file.record = destination.record;
    if (PendingIoResult == 0) AddFile(table, slot);
    return folder;
}

// Every open destination written out and closed, in slot order.
void CloseOpenDestinations(DestinationTable& table) {
    for (size_t i = 0; i < table.slotCount; ++i) {
        if (IsOpen(*table.slots[i])) CloseOne(table, i);
    }
}

// A failed write: the lines from `firstMissing` on that went to the
// destination may be missing from it.
void CheckWrite(Destination& destination, int64_t firstMissing) {
    if (PendingIoResult == 0) return;
    destination.firstPending = 0;
    CheckIo(kPlaceWriteDestination, destination.path, firstMissing);
}

// Appends the line, input line number `lineNumber`, and its CR LF to the
// open destination.
void AppendLine(const DestinationTable& table, Destination& destination, std::string_view line, int64_t lineNumber) {
    LineFile& file = destination.file;
    // The pending lines go out first when this one does not fit after them.
    if (file.position > 0 && line.size() + kLineEnd.size() > file.capacity - file.position) {
        table.calls->writePending(file);
        CheckWrite(destination, destination.firstPending);
        destination.firstPending = 0;
    }
    if (destination.firstPending == 0) destination.firstPending = lineNumber;
    if (destination.firstSinceOpen == 0) destination.firstSinceOpen = lineNumber;
    table.calls->writeLine(file, line);
    CheckWrite(destination, destination.firstPending);
    if (file.position == 0) destination.firstPending = 0;
}

// The header lines (input lines 1 and on) atop a destination that is empty
// as it opens.
void WriteHeaderIfEmpty(const DestinationTable& table, Destination& destination) {
    if (table.header == nullptr || table.header->empty()) return;
    uint64_t size = 0;
    if (!SysGetFileSize(destination.file.handle, &size) || size != 0) return;
    int64_t lineNumber = 0;
    for (const std::string& line : *table.header) AppendLine(table, destination, line, ++lineNumber);
}

}  // namespace

void StartJournal(DestinationTable& table, const std::string& folder, uint32_t codePage, bool sync) {
    table.journaled = true;
    StartJournal(table.journal, folder, codePage, sync);
    // A journal that cannot be made for want of its folder: the folder's
    // own failure is the reason.
    const FolderFailure& made = table.journal.folderFailure;
    if (PendingIoResult == static_cast<int32_t>(kErrorPathNotFound) && !made.folder.empty()) {
        RaiseIoFailureCausedBy(kPlaceOpenDestination, kDiagnosticMakeFolder, made.folder, made.error.reason);
    }
    CheckIo(kPlaceOpenDestination, table.journal.path.empty() ? folder : table.journal.path);
}

void StartDestinations(DestinationTable& table, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) AddDestination(table, path);
    table.bound = std::max<uint32_t>(1, std::min(kMaxOpenDestinations, SysOpenFileRoom()));
}

size_t AddDestination(DestinationTable& table, std::string path) {
    table.slots.push_back(std::make_unique<Destination>());
    table.slots.back()->path = std::move(path);
    table.slotCount = table.slots.size();
    return table.slotCount - 1;
}

namespace {

// The memory budget wants a buffer for `next`: the destination put aside
// longest ago is opened, written out and closed, and its buffer passes on.
void ForceOutAside(DestinationTable& table, Destination& next) {
    size_t slot = table.aside.oldest;
    OpenDestination(table, slot);
    CloseOne(table, slot, &next);
}

// Two destinations that are one file (two spellings, a link) take turns on
// it and never hold lines aside, so that the file gets their lines in input
// order. The first of them may hold some when the second opens: they go to
// the file first.
void NoteSameFile(DestinationTable& table, size_t slot) {
    Destination& destination = *table.slots[slot];
    if (!destination.sameFile || destination.record == nullptr) return;
    const SysFileIdentity& identity = destination.record->identity;
    size_t other = FindFile(table, identity);
    if (other == slot || !IsAside(*table.slots[other])) return;
    CloseOne(table, slot);
    OpenDestination(table, other);
    CloseOne(table, other);
    OpenDestination(table, slot);
}

}  // namespace

void OpenDestination(DestinationTable& table, size_t slot) {
    Destination& destination = *table.slots[slot];
    if (IsOpen(destination)) return;
    if (IsAside(destination)) Unlink(table, table.aside, slot);
    if (table.openCount >= table.bound) PutAside(table, destination);
    while (destination.file.capacity == 0 && table.bufferCount >= table.bufferBound && table.aside.oldest != kNoSlot) {
        ForceOutAside(table, destination);
    }
    bool hadBuffer = destination.file.capacity != 0;
    FolderFailure folder = OpenByPath(table, slot);
    // Fewer descriptors than the bound foresaw: one more is put aside.
    while (PendingIoResult == static_cast<int32_t>(kErrorTooManyOpenFiles) && table.openCount > 0) {
        TakeIoResult();
        PutAside(table, destination);
        folder = OpenByPath(table, slot);
    }
    // Two spellings of one file (a link, "." in a path) are two
    // destinations; only one handle of this process may write it at once,
    // so a file in use is tried once more with every other destination
    // closed. What another program holds stays refused.
    if (PendingIoResult == static_cast<int32_t>(kErrorSharingViolation) && table.openCount > 0) {
        TakeIoResult();
        CloseOpenDestinations(table);
        folder = OpenByPath(table, slot);
    }
    // A destination that cannot be opened for want of its folder: the
    // folder's own failure is the reason.
    if (PendingIoResult == static_cast<int32_t>(kErrorPathNotFound) && !folder.folder.empty()) {
        RaiseIoFailureCausedBy(kPlaceOpenDestination, kDiagnosticMakeFolder, folder.folder, folder.error.reason);
    }
    CheckIo(kPlaceOpenDestination, destination.path);
    if (!hadBuffer && destination.file.capacity != 0) ++table.bufferCount;
    ++table.openCount;
    LinkNewest(table, table.open, slot);
    if (!destination.opened) {
        destination.opened = true;
        NoteSameFile(table, slot);
        WriteHeaderIfEmpty(table, destination);
    }
}

void RouteLine(DestinationTable& table, size_t slot, std::string_view line, int64_t lineNumber) {
    Destination& destination = *table.slots[slot];
    // A destination put aside takes the line into memory while it fits.
    if (IsAside(destination) && HoldLine(destination.file, line)) {
        MakeNewest(table, table.aside, slot);
        return;
    }
    OpenDestination(table, slot);
    MakeNewest(table, table.open, slot);
    AppendLine(table, destination, line, lineNumber);
}

void CloseDestinations(DestinationTable& table) {
    CloseOpenDestinations(table);
    for (size_t i = 0; i < table.slotCount; ++i) {
        if (!IsAside(*table.slots[i])) continue;
        OpenDestination(table, i);
        CloseOne(table, i);
    }
}

void CommitDestinations(DestinationTable& table) {
    EndJournal(table.journal);
    CheckIo(kPlaceCloseDestination, table.journal.path);
    table.committed = true;
}

DestinationTable::~DestinationTable() {
    for (size_t i = 0; i < slotCount; ++i) {
        Destination& destination = *slots[i];
        if (!IsOpen(destination)) continue;
        DropPending(destination.file);
        AbandonLineFile(destination.file);
    }
    if (committed) return;
    bool all = PutBackDestinations(journal);
    if (everyPutBack != nullptr) *everyPutBack = all;
}
