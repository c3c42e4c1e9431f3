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

const DestinationCalls kLineFileCalls = {OpenMaking, OpenForAppendingExisting, WriteLine, WritePending, CloseLineFile};

namespace {

bool IsOpen(const Destination& destination) { return destination.file.state == LineFileState::Writing; }

// The order of last use: a destination leaves it at its close, and goes to
// its newest end at its open and at every line.
void Unlink(DestinationTable& table, size_t slot) {
    Destination& destination = *table.slots[slot];
    (destination.older == kNoSlot ? table.oldest : table.slots[destination.older]->newer) = destination.newer;
    (destination.newer == kNoSlot ? table.newest : table.slots[destination.newer]->older) = destination.older;
    destination.newer = destination.older = kNoSlot;
}

void LinkNewest(DestinationTable& table, size_t slot) {
    Destination& destination = *table.slots[slot];
    destination.older = table.newest;
    (table.newest == kNoSlot ? table.oldest : table.slots[table.newest]->newer) = slot;
    table.newest = slot;
}

// Writes out the slot's pending lines and closes it, with the I/O check.
void CloseOne(DestinationTable& table, size_t slot) {
    Destination& destination = *table.slots[slot];
    Unlink(table, slot);
    --table.openCount;
    if (table.journal.sync) WritePendingToDisk(destination.file);
    if (PendingIoResult == 0) table.calls->close(destination.file);
    if (PendingIoResult != 0) {
        // A file whose name went while it was open lost every line written
        // to it since the open, not only those still pending.
        bool gone = PendingIoResult == static_cast<int32_t>(kErrorFileNotFound);
        int64_t firstMissing = gone ? destination.firstSinceOpen : destination.firstPending;
        destination.firstPending = destination.firstSinceOpen = 0;
        CheckIo(kPlaceCloseDestination, destination.path, firstMissing);
    }
    destination.firstPending = destination.firstSinceOpen = 0;
}

// Closes the destination used least recently; its buffer serves the
// destination about to open.
void PutAside(DestinationTable& table, Destination& next) {
    if (table.oldest == kNoSlot) return;
    Destination& oldest = *table.slots[table.oldest];
    CloseOne(table, table.oldest);
    // A closed destination keeps no buffer: the open ones hold them all.
    if (next.file.capacity == 0) {
        next.file.buffer = std::move(oldest.file.buffer);
        next.file.capacity = oldest.file.capacity;
    }
    oldest.file.buffer.reset();
    oldest.file.capacity = 0;
}

// A destination put aside is opened again only as the file the run left:
// gone, another file by that name, or shorter than the run left it, it
// fails with 2. One that another program appended to is written on, and
// never cut back.
void Reopen(DestinationTable& table, Destination& destination) {
    LineFile& file = destination.file;
    JournalEntry& record = *destination.record;
    table.calls->reopen(file);
    if (PendingIoResult != 0) return;
    SysFileIdentity identity;
    if (!SysGetFileIdentity(file.handle, &identity) || !(identity == record.identity) || file.size < record.knownEnd) {
        table.calls->close(file);
        TakeIoResult();
        StoreIoResult(static_cast<int32_t>(kErrorFileNotFound));
        return;
    }
    if (file.size > record.knownEnd) RecordChanged(record);
    file.record = &record;
}

// The one place a destination is opened. At its first open the journal
// records it, before any byte of it is written.
// Gives the folder that could not be made, if any.
FolderFailure OpenByPath(DestinationTable& table, Destination& destination) {
    FolderFailure folder;
    if (destination.record != nullptr) {
        Reopen(table, destination);
        return folder;
    }
    const std::string& path = destination.path;
    BindLineFile(destination.file, path);
    LineFile& file = destination.file;
    table.calls->open(file, &folder);
    if (PendingIoResult != 0 || !table.journaled) return folder;
    destination.record = RecordDestination(table.journal, path, file.handle, file.created, file.size);
    file.record = destination.record;
    return folder;
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

void OpenDestination(DestinationTable& table, size_t slot) {
    Destination& destination = *table.slots[slot];
    if (IsOpen(destination)) return;
    if (table.openCount >= table.bound) PutAside(table, destination);
    FolderFailure folder = OpenByPath(table, destination);
    // Fewer descriptors than the bound foresaw: one more is put aside.
    while (PendingIoResult == static_cast<int32_t>(kErrorTooManyOpenFiles) && table.openCount > 0) {
        TakeIoResult();
        PutAside(table, destination);
        folder = OpenByPath(table, destination);
    }
    // Two spellings of one file (a link, "." in a path) are two
    // destinations; only one handle of this process may write it at once,
    // so a file in use is tried once more with every other destination
    // closed. What another program holds stays refused.
    if (PendingIoResult == static_cast<int32_t>(kErrorSharingViolation) && table.openCount > 0) {
        TakeIoResult();
        CloseDestinations(table);
        folder = OpenByPath(table, destination);
    }
    // A destination that cannot be opened for want of its folder: the
    // folder's own failure is the reason.
    if (PendingIoResult == static_cast<int32_t>(kErrorPathNotFound) && !folder.folder.empty()) {
        RaiseIoFailureCausedBy(kPlaceOpenDestination, kDiagnosticMakeFolder, folder.folder, folder.error.reason);
    }
    CheckIo(kPlaceOpenDestination, destination.path);
    ++table.openCount;
    LinkNewest(table, slot);
    WriteHeaderIfEmpty(table, destination);
}

void RouteLine(DestinationTable& table, size_t slot, std::string_view line, int64_t lineNumber) {
    Destination& destination = *table.slots[slot];
    OpenDestination(table, slot);
    if (table.newest != slot) {
        Unlink(table, slot);
        LinkNewest(table, slot);
    }
    AppendLine(table, destination, line, lineNumber);
}

void CloseDestinations(DestinationTable& table) {
    for (size_t i = 0; i < table.slotCount; ++i) {
        if (IsOpen(*table.slots[i])) CloseOne(table, i);
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
    if (!committed) PutBackDestinations(journal);
}
