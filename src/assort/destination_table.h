#pragma once
// The destinations of one assort pass. Each is opened at the first line
// routed to it (the default before the first line) and then kept open,
// locked, with a write buffer of its own, until the end of the pass: bytes
// reach a file in large blocks and at its close, not line by line. The
// table holds as many open destinations as the system lets the process
// hold (at most kMaxOpenDestinations); when it is full, the one used least
// recently is put aside: its handle is closed and its pending lines stay in
// its buffer, where later lines for it are added without an open, until
// the buffer is full, the pass ends, or the memory budget wants the buffer
// (at most kMaxWriteBuffers buffers, 32 MiB, however many destinations
// there are); then it is opened again for appending and written out.
// Destinations can be added while the pass runs (a file for each value), as
// many as memory holds; each costs its path and a small record, and only
// the open ones and those put aside with pending lines hold a buffer.
//
// The header: a destination that is empty when the pass opens it gets the
// header lines first (none for one that holds bytes, so a file appended to
// run after run keeps one header at the top).
//
// A run is all or nothing: with a journal (files/journal.h), every
// destination is recorded at its first open, before its first byte, and
// every write is told to the journal first. When a failure or a request to
// stop ends the pass, the pending lines are dropped, every destination is
// closed and put back as it stood before the run, and the journal goes; a
// run that ends well removes the journal once every destination is closed
// (CommitDestinations). A destination put aside is opened again only when
// it is still the file the run left, holding at least what the run wrote:
// one gone, replaced or cut short fails the run (code 2); one that another
// program appended to is written on, and never cut back.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_system.h"
#include "files/journal.h"
#include "files/line_file.h"

inline constexpr uint32_t kMaxOpenDestinations = 1024;
inline constexpr uint32_t kMaxWriteBuffers = 1024;

inline constexpr size_t kNoSlot = SIZE_MAX;

// The file calls the table makes, so that a test can stand in for them: by
// default the line file's own (the open makes a missing folder first).
// Each leaves its code in the pending I/O result, as the line file does.
struct DestinationCalls {
    void (*open)(LineFile& file, FolderFailure* folder);  // appending, made when missing (with its folder)
    void (*reopen)(LineFile& file);                       // appending, the file being there, its lines put aside kept
    void (*writeLine)(LineFile& file, std::string_view line);
    void (*writePending)(LineFile& file);
    void (*close)(LineFile& file);
};
extern const DestinationCalls kLineFileCalls;

struct Destination {
    std::string path;
    LineFile file;
    JournalEntry* record = nullptr;  // set at its first open, when the run keeps a journal
    int64_t firstPending = 0;        // the input line of the first line not yet handed over; 0: none
    int64_t firstSinceOpen = 0;      // the input line of the first line routed to it since its open; 0: none
    bool opened = false;             // opened once in this pass
    bool sameFile = false;           // another destination names its file: it never holds lines aside
    // The open destinations, and apart from them those put aside with
    // pending lines, each in the order of their last use, the least recent
    // first.
    size_t newer = kNoSlot;
    size_t older = kNoSlot;
};

struct UseOrder {
    size_t oldest = kNoSlot;
    size_t newest = kNoSlot;
};

struct DestinationTable {
    std::vector<std::unique_ptr<Destination>> slots;
    size_t slotCount = 0;
    uint32_t openCount = 0;
    uint32_t bound = 1;
    uint32_t bufferCount = 0;  // destinations holding a write buffer
    uint32_t bufferBound = kMaxWriteBuffers;
    UseOrder open;   // the open destinations
    UseOrder aside;  // those put aside with pending lines
    // The first destination of each file, by the identity in its record:
    // open addressing, slot + 1 (0: free), at most half full.
    std::vector<uint32_t> files;
    size_t fileCount = 0;
    const std::vector<std::string>* header = nullptr;  // written atop every destination found empty
    const DestinationCalls* calls = &kLineFileCalls;
    Journal journal;
    bool journaled = false;
    bool committed = false;
    bool* everyPutBack = nullptr;  // told whether a failed run's putting back left every destination as it was

    DestinationTable() = default;
    DestinationTable(const DestinationTable&) = delete;
    DestinationTable& operator=(const DestinationTable&) = delete;
    // On the way out of a failure: every open destination is closed with
    // its pending lines dropped, and every destination put back.
    ~DestinationTable();
};

// The journal, in `folder`, after the destinations of runs that died there
// are put back (the I/O check follows); `sync`: every record, and every
// destination at its close, reaches the disk before the run goes on.
void StartJournal(DestinationTable& table, const std::string& folder, uint32_t codePage, bool sync);
// One slot for each path; a path is the destination of its slot.
void StartDestinations(DestinationTable& table, const std::vector<std::string>& paths);
// One more slot, for the path; gives its number.
size_t AddDestination(DestinationTable& table, std::string path);
// Opens the slot's destination unless it is open (the I/O check follows).
void OpenDestination(DestinationTable& table, size_t slot);
// Appends the line, input line number `lineNumber`, and its CR LF to the
// slot's destination, opening it first if need be.
void RouteLine(DestinationTable& table, size_t slot, std::string_view line, int64_t lineNumber);
// The end of the pass: every open destination written out and closed, in
// slot order, then every one put aside opened, written out and closed, in
// slot order, each with the I/O check.
void CloseDestinations(DestinationTable& table);
// The run is done: its destinations stay as they are now, and the journal
// goes (the I/O check follows).
void CommitDestinations(DestinationTable& table);
