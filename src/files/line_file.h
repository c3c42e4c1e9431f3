#pragma once
// The buffered line file through which the input is read, destinations are
// written and console lines reach standard output. Bytes pass unchanged in
// both directions; lines may end in CR LF or LF, and every line end written
// is CR LF. No operation throws or answers an error (memory aside): a
// failure leaves its error (code and words) in the pending I/O result for
// the caller's CheckIo.
//
// Reads ask for kReadBlockSize bytes at a time. A file open for writing
// collects kWriteBlockSize bytes (console text kConsoleBlockSize) before
// they go to the system, and the rest at close, except on a character
// device, where every finished write statement goes out at once. A byte 26
// at the start of a line ends the input; inside a line it is text.
//
// Whole lines only: a disk file never ends inside a line that this file
// wrote, whatever fails. The file's size follows from its size at the open
// and the bytes written since, without asking the system; a write that
// fails or falls short cuts back the bytes of it that reached the file (and
// the part of its line written before), never bytes another program
// appended meanwhile. A file kept in a journal (files/journal.h) tells it
// the end of every write before the write.
//
// A disk file read shrinking under the reader (cut short, or written anew
// shorter) is a read fault (30), never taken for the end of the data, so
// that no torn line is read as whole; one that grows is read on.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "files/journal.h"
#include "platform/platform.h"

inline constexpr uint32_t kReadBlockSize = 64 * 1024;
inline constexpr uint32_t kWriteBlockSize = 32 * 1024;
inline constexpr uint32_t kConsoleBlockSize = 128;

// Aside: a file written to whose handle is closed, its pending whole lines
// kept in its buffer until it is opened again (ReopenForAppending).
enum class LineFileState { Closed, Reading, Writing, Aside };

struct LineFile {
    SysHandle handle = kInvalidHandle;
    LineFileState state = LineFileState::Closed;
    std::string name;       // empty: the standard output of the process
    uint32_t position = 0;  // reading: the next unread byte; writing: the bytes pending
    uint32_t end = 0;       // reading: the bytes the last fill delivered
    uint32_t lineEnd = 0;   // writing: the pending bytes up to the last line end
    bool writeThrough = false;
    bool dataEnded = false;  // a fill delivered nothing or failed
    bool cutBack = false;    // a disk file: a failed write is cut back to a line end
    bool atLineEnd = true;   // what this file wrote ends at a line end
    uint64_t wholeSize = 0;  // the file's size at its last line end, while !atLineEnd
    uint64_t size = 0;       // writing: the size at the open and the bytes written since; reading: the bytes read
    bool created = false;    // the open made the file
    JournalEntry* record = nullptr;  // the journal told of every write, when set
    bool watchSize = false;          // reading a disk file: its size never falls
    uint64_t sizeSeen = 0;           // reading: the largest size seen
    std::unique_ptr<unsigned char[]> buffer;
    uint32_t capacity = 0;
    uint32_t backed = 0;  // the bytes of the buffer the system was asked to back

    LineFile() = default;
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;
    // A named file still open when its owner goes (a failure travelling out
    // of the assort pass) hands its pending whole lines to the system and is
    // closed, so every line routed before the failure is in its file.
    ~LineFile();
};

void BindLineFile(LineFile& file, std::string_view name);
void OpenForReading(LineFile& file);
// Reads standard input instead of the bound name (which names it in
// messages); the standard handle itself stays open after the close.
void OpenStandardInput(LineFile& file);
// Opens for appending; a missing file is created, and a file that exists by
// the time of the open is never emptied. `created` tells which.
void OpenForAppendingOrCreating(LineFile& file);
// Opens a file that exists for appending (2 when it is gone), a file that
// this run opened before: the look for it that a first open makes is not
// made again. The lines of a file set aside stay pending, whether or not
// the open succeeds.
void ReopenForAppending(LineFile& file);
// Closes the handle of a file open for writing, its pending whole lines
// kept in memory (Aside; Closed when none are pending). A failed close
// leaves its code.
void SetAside(LineFile& file);
// The text and CR LF added to the pending lines of a file set aside, when
// they fit in its buffer; false, nothing added, when they do not.
bool HoldLine(LineFile& file, std::string_view text);
bool AtEndOfFile(LineFile& file);
// Replaces `line` by the bytes of the current line, without its line end;
// stops in front of the line end.
void ReadLineText(LineFile& file, std::string& line);
void SkipLineEnd(LineFile& file);
// The current line without its line end, and moves past the line end: a
// view of the buffer when the line lies whole in it, else the line
// gathered in `spill`. The view holds until the next operation on the file.
std::string_view ReadLine(LineFile& file, std::string& spill);
void WriteText(LineFile& file, std::string_view text);
void WriteLineEnd(LineFile& file);
// The text and CR LF, as one whole line: in the file entirely or not at all.
void WriteLine(LineFile& file, std::string_view text);
void FinishWrite(LineFile& file);
// Hands every pending byte to the system now.
void WritePending(LineFile& file);
// Hands every pending byte to the system and the file's bytes to the disk.
void WritePendingToDisk(LineFile& file);
// Drops the pending bytes unwritten (a run being put back).
void DropPending(LineFile& file);
void CloseLineFile(LineFile& file);
// The way out after a failure: hands the pending whole lines to the system,
// cuts back what does not end at a line end, and closes the file. Leaves
// the pending I/O result as it was; gives the error of a failed write (code
// 0: none).
SysError AbandonLineFile(LineFile& file);

// The one process-wide console writer: closed until its first write.
LineFile& ConsoleOutput();
// Writes out console text still buffered; results are ignored.
void FlushConsoleText();
// Closes standard output at the end of the process; gives the code of a
// failed final write, or 0.
int32_t ShutDownConsole();
