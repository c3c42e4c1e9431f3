#pragma once
// The run's journal: where each destination stood before the run's first
// byte reached it, so that a run that fails, is interrupted or dies leaves
// every destination as it was.
//
// One file, ".rowdispatch-N.journal" (N below kJournalSlots), in the folder
// of the run's default destination, the one folder that every writing run
// must be able to write. The run holds it open for writing, which no other
// run may share, from before its first destination opens until the last one
// is closed; a journal that a later run can open for writing belongs to a
// run that died, and that run's destinations are put back first.
//
// Records, one line each, every one handed to the system in one write
// before what it tells of:
//   "rowdispatch journal 1 <code page>"   the first line
//   "O <n> <made> <device> <index> <size> <path>"
//        destination n opened: made by the run (1) or there before (0), the
//        file's identity, and its size before the run
//   "W <n> <end>"   destination n is about to be written up to <end> bytes
//   "A <n> <end>"   with Sync=1: destination n will hold at most <end>
//        bytes until the next such record, announced ahead in large steps,
//        so that the journal reaches the disk once a step, not every block
//   "B <start>"     the start of the system the run ran in: a later run in
//        the same start (the run was killed) trusts the exact "W" ends;
//        after a restart (a power cut) a destination holding from its old
//        size up to the end announced is put back
//   "C <n>"         another program wrote destination n meanwhile
// Numbers are decimal; the path is in the run's code page, to the line end.
//
// Putting a destination back cuts it to its size before the run, or
// removes it when the run made it, and only when it is the same file and
// holds nothing but what the run wrote after its old bytes; otherwise it is
// left as it is, and named. Folders the run made stay.

#include <cstdint>
#include <deque>
#include <string>

#include "files/file_system.h"
#include "platform/platform.h"

inline constexpr uint32_t kJournalSlots = 64;

struct Journal;

struct JournalEntry {
    Journal* journal = nullptr;
    std::string path;
    SysFileIdentity identity;
    uint64_t recordedSize = 0;  // before the run's first byte
    uint64_t knownEnd = 0;      // what the file holds by the run's account
    uint64_t announcedEnd = 0;  // the end the journal last told of
    uint32_t number = 0;
    bool created = false;
    bool changed = false;  // another program wrote it meanwhile
};

struct Journal {
    SysHandle handle = kInvalidHandle;
    std::string path;
    std::string folder;
    FolderFailure folderFailure;  // the journal's folder could not be made: why
    bool sync = false;            // Sync=1: records, data and names reach the disk in order
    bool unsynced = false;        // with sync: records written since the last flush
    std::deque<JournalEntry> entries;

    Journal() = default;
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
};

// Puts back the destinations of every run that died leaving its journal in
// the folder (one line on the diagnostic stream for each), then opens this
// run's journal there. A journal that cannot be written leaves its code for
// the I/O check, with nothing written to any destination.
void StartJournal(Journal& journal, const std::string& folder, uint32_t codePage, bool sync);
// Records the destination whose file was just opened (its size then, and
// whether the open made it); the I/O check follows. The entry stays with
// the journal, so that the destination is put back even when recording
// failed.
JournalEntry* RecordDestination(Journal& journal, const std::string& path, SysHandle file, bool created, uint64_t size);
// The entry's file is about to be written up to `end` bytes. False, with the
// code for SysLastError, when the record could not be written.
bool RecordEnd(JournalEntry& entry, uint64_t end);
// Another program wrote the entry's file meanwhile: it is never cut back.
void RecordChanged(JournalEntry& entry);
// The run is done, every destination closed: the journal goes (with sync,
// after the destinations' data and names are on the disk). The I/O check
// follows.
void EndJournal(Journal& journal);
// The run failed, every destination closed: each is put back, the
// diagnostic line says so, and the journal goes. True when every
// destination is as it was before the run. Never throws.
bool PutBackDestinations(Journal& journal);
