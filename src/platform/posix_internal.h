#pragma once
// Pieces of the POSIX backend shared between its files. Not for the rest of
// the program: everything here speaks Linux.

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace posix {

// ASCII capitals to small letters; every other code stays.
inline uint32_t AsciiLower(uint32_t code) { return (code >= 'A' && code <= 'Z') ? code + 0x20 : code; }

inline bool HasWriteBit(const struct stat& info) { return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

// Paths and errors (posix_paths.cpp).

// A Windows path as the Linux name it stands for: "\" and "/" separate, a
// leading "X:\" is the root, "X:name" is relative to the current directory,
// a zero byte ends it; in a code page 932 run converted to UTF-8. The text
// lives in a per-thread buffer until the next call. nullptr (with the code
// for SysLastError) for a name that names nothing, as an empty one on
// Windows (3), or that does not convert (kErrorInvalidName); for a name that
// holds "*" or "?" (kErrorInvalidName, as Windows refuses it), except in the
// last part of a search `pattern`; and for a network name
// ("\\server\share", kErrorPathNotFound), which no Linux file has.
const std::string* ToNative(const std::string& name, bool pattern = false);

// Names at the boundary. The system's names are UTF-8; in a code page 932
// run a name is converted on its way to the system and back, as Windows'
// ANSI services convert to and from the file system's Unicode. In a UTF-8
// run nothing is converted.
// Opens the converters, so that no later conversion allocates for them.
void StartNames();
// The name as the system's bytes, or false when it does not convert.
bool NameToSystem(std::string_view name, std::string& system);
// A name from the system in the run's code page, cut to `room` bytes; gives
// its length. A character that code page 932 does not hold, or a byte that
// is not UTF-8, becomes the byte 0xFF, which no name of the code page holds:
// using the name then fails with kErrorInvalidName, and never reaches
// another file. Allocates nothing.
size_t NameFromSystem(std::string_view system, char* name, size_t room);
// The same into a string; the system's text itself when nothing converts.
std::string_view NameFromSystem(std::string_view system, std::string& name);
// Remembers the error of a failed call for SysLastFailure(): the Windows
// code and its words, a static text.
void SetLastError(uint32_t code, std::string_view reason);
// strerror's words for an errno, a static text (empty for an unknown one).
std::string_view SystemWords(int error);
// Leaves the Windows code for an errno met while working on the given Linux
// name, with the system's words for that errno.
void SetErrorFromErrno(int error, const std::string& native);
// The same for errno after a failed call on the name; gives false.
bool FailFromErrno(const std::string& native);

// Our own words, where the backend itself refuses what the system would
// allow (Windows rules reproduced) or meets what errno does not name.
inline constexpr std::string_view kWordsLocked = "locked by another program";
inline constexpr std::string_view kWordsWrittenElsewhere = "open for writing in another program";
inline constexpr std::string_view kWordsOpenHere = "already open in this program";
inline constexpr std::string_view kWordsDevice = "is a device, not a regular file";
inline constexpr std::string_view kWordsNotRegular = "is not a regular file";
inline constexpr std::string_view kWordsReadOnly = "is read-only";
inline constexpr std::string_view kWordsRunningProgram = "is the running program";
inline constexpr std::string_view kWordsEmptyName = "the name is empty";
inline constexpr std::string_view kWordsUnconvertibleName = "the name does not convert to UTF-8";
inline constexpr std::string_view kWordsNetworkName = "a network name, which names no file here";
inline constexpr std::string_view kWordsPatternInName = "\"*\" and \"?\" are no characters of a name";
inline constexpr std::string_view kWordsNoProgramFile = "nothing names the program's file";
inline constexpr std::string_view kWordsTerminal = "the text does not convert for the terminal";
inline constexpr std::string_view kWordsShortWrite = "the system took no bytes";

// A refusal of the backend's own: its code and words.
struct Refused {
    uint32_t code = 0;
    std::string_view reason;
    explicit operator bool() const { return code != 0; }
};
// The refusal of writing to what is not a regular file: a directory in the
// system's words, a device or anything else in ours.
Refused NotRegularRefusal(const struct stat& info);

// Handles (posix_handles.cpp).

// This process holds a handle on the file.
bool OpenHereOn(const struct stat& info);
// Writes every byte to the descriptor, again after an interruption; on
// failure leaves the Windows code (a write fault for EIO) with the system's
// words and gives false.
bool WriteFully(int fd, const char* bytes, size_t size, size_t* written);

// Locks across processes (posix_locks.cpp).

// The locks a handle takes, from its access and share mode.
enum class LockKind { None, Shared, Exclusive };
LockKind LockFor(uint32_t access, uint32_t shareMode);
// Takes both kinds of lock without waiting; false when another holder
// refuses either.
bool TakeLocks(int fd, LockKind kind);
void DropLocks(int fd);
// Another process has the regular file open for writing, as far as the
// system tells (a read lease is refused while a writer has it open);
// `before`: what a look at the name just found.
bool OpenForWritingElsewhere(const std::string& native, const struct stat& before);
// Another process holds the file open for writing, by a lock it took.
bool WriteLockedElsewhere(int fd);

// The process (posix_process.cpp).

// Standard output was closed when the process started: descriptor 1 then
// only holds its place (on /dev/null), and it has no file type.
bool StdOutputClosedAtStart();
// The program's own file, as the system names it.
bool IsRunningProgram(const struct stat& info);
// The program's own file found at start from the name it was started by,
// where /proc does not name it; empty otherwise.
const std::string& ProgramFromName();

// The terminal (posix_terminal.cpp).

// Looks whether standard output is a terminal; called once at start.
void StartTerminal();
// Standard output is a terminal that gets code page 932 text converted to
// UTF-8; read on every write, so a flag.
extern bool gConvertForTerminal;
inline bool WritesToTerminal(SysHandle file) { return gConvertForTerminal && file == 1; }
bool WriteToTerminal(const void* bytes, uint32_t size);
// Text of the run's charset (TextCharset) in UTF-8, U+FFFD for a byte that
// does not convert.
std::string CharsetToUtf8(std::string_view text);
// Whether console text is converted for the terminal: not once it is UTF-8.
void UseTerminalConversion(bool convert);

// The code page (posix_codepage.cpp).

// The charset of the run's texts as iconv names it, for names and console
// text on their way to and from the system's UTF-8; nullptr when the texts
// are UTF-8 already and pass unconverted.
const char* TextCharset();
// The code of the character that starts at text[i], by the run's character
// rule, and advances i past it. In code page 932: one byte, or two for a
// lead byte followed by another byte. In UTF-8: a well-formed sequence is
// one character; a malformed byte gets a code of its own, past every
// character's. Codes are equal exactly when the characters are.
uint32_t NextChar(std::string_view text, size_t& i);
// The same, always by the rule of code page 932.
uint32_t NextShiftJisChar(std::string_view text, size_t& i);
// The code that a character with two or more codes is written back as;
// every other code stays.
uint32_t CanonicalChar(uint32_t code);
// The lower-case form of a capital letter of code page 932; other codes stay.
uint32_t LowerChar(uint32_t code);

}  // namespace posix
