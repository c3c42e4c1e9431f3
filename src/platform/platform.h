#pragma once
// The operating-system services the program uses, named and shaped after the
// Windows services they stand for. Exactly one backend is compiled:
// win32.cpp calls kernel32 (and, for the names and profile values of a
// UTF-8 run, which the A calls cannot take, the wide services); the
// posix_*.cpp files reproduce on Linux what the program relies on from each
// of those services.
//
// A failed call answers false (or kInvalidHandle) and leaves its error for
// SysLastFailure(): the Windows error code, and on Linux the words for it
// (the system's own for the errno the call met, ours where the backend
// itself refused); errno never leaves the backend. Texts, names
// included, are byte strings in the code page of the run (932, or UTF-8
// when the rule file says so); each backend converts a name to and from the
// system's own form at the call, and hands it to the system whole. A name
// that does not convert fails the call with kErrorInvalidName.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using SysHandle = std::intptr_t;
inline constexpr SysHandle kInvalidHandle = -1;

inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;
inline constexpr uint32_t kShareRead = 1;
inline constexpr uint32_t kShareWrite = 2;
inline constexpr uint32_t kOpenExisting = 3;
inline constexpr uint32_t kOpenAlways = 4;
inline constexpr uint32_t kAttributeNormal = 0x80;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;
// Among the attributes of an open: the file was opened by this process
// before, so the looks at the name that its first open made (what the name
// is, whether another program writes it) are not made again; what the open
// finds is still refused as before. Windows itself never sees this bit.
inline constexpr uint32_t kOpenSeenBefore = 0x00400000u;

// Windows error codes the program and its tests speak of.
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorTooManyOpenFiles = 4;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorWriteFault = 29;
inline constexpr uint32_t kErrorReadFault = 30;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorBrokenPipe = 109;
inline constexpr uint32_t kErrorDiskFull = 112;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorInvalidName = 123;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorNoData = 232;
inline constexpr uint32_t kErrorOperationAborted = 995;

// Room for the longest path the system hands out as the program's file.
inline constexpr uint32_t kModulePathRoom = 32768;

enum class SysFileType : uint32_t { Unknown = 0, Disk = 1, Char = 2, Pipe = 3 };

// Files. Sizes and positions are 64-bit. An open with kOpenAlways leaves
// kErrorAlreadyExists for SysLastError() when the file was there, 0 when the
// call made it.
SysHandle SysCreateFile(const std::string& name, uint32_t access, uint32_t shareMode, uint32_t disposition,
                        uint32_t attributes);
bool SysReadFile(SysHandle file, void* buffer, uint32_t size, uint32_t* delivered);
bool SysWriteFile(SysHandle file, const void* bytes, uint32_t size, uint32_t* written);
bool SysGetFileSize(SysHandle file, uint64_t* size);
bool SysSetFilePointer(SysHandle file, uint64_t position);
SysFileType SysGetFileType(SysHandle file);
SysHandle SysGetStdOutput();
bool SysCloseHandle(SysHandle file);
// Cuts a file open for writing back to the size given (the end of its last
// whole line), the next write going there.
bool SysTruncateFile(SysHandle file, uint64_t size);
// Which file an open handle is: its device (volume) and its number there.
// Two handles with the same identity are one file, whatever their names.
struct SysFileIdentity {
    uint64_t device = 0;
    uint64_t index = 0;
    bool operator==(const SysFileIdentity&) const = default;
};
bool SysGetFileIdentity(SysHandle file, SysFileIdentity* identity);
// Hands the file's bytes to the disk before it returns (a power cut then
// keeps them).
bool SysFlushFileBuffers(SysHandle file);
// Hands the folder's names to the disk (a file made or removed in it stays
// made or removed across a power cut); nothing to do where the file system
// keeps names durable by itself (Windows).
bool SysFlushFolder(const std::string& path);
// How many more files the process may hold open at once, as far as the
// system sets a limit; UINT32_MAX where it sets none.
uint32_t SysOpenFileRoom();
uint32_t SysLastError();
// The error a failed call of this thread left, as a value: the code (the
// one the report prints) and the reason for the line on standard error.
// On Linux the reason is strerror's text for the errno the failed call met,
// or the program's own plain words where the backend itself refused (a
// lock: "locked by another program"; a device as a destination: "is a
// device, not a regular file"; a file without write permission: "is
// read-only"). On Windows it is empty: the report is the Windows one, and
// nothing is written beside it. The reason is a static text.
struct SysError {
    uint32_t code = 0;
    std::string_view reason;
};
SysError SysLastFailure();
// Text for the user beside the program's output, written as it stands
// (Linux: standard error, as its tools do; the Windows program writes
// nothing there). Results are ignored.
void SysWriteDiagnostic(std::string_view text);
// A name as the system spells it, for such a line: on Linux the name handed
// to the system (its separators "/"); on Windows the name itself.
std::string SysShownName(const std::string& name);
// Standard error is a terminal that a person watches (never on Windows,
// where the program shows no progress).
bool SysStdErrorIsTerminal();
// The position of an open file, for the progress shown; false for a pipe.
bool SysGetFilePointer(SysHandle file, uint64_t* position);
// Standard input as an input file: a handle that reads it, known to the
// share checks as this process's reader of that file, so that no
// destination opens it for writing and /c never deletes it. Never closed.
SysHandle SysOpenStdInput();

// File system.
struct SysFindData {
    uint32_t attributes = 0;
};
// Gives the first entry that matches the path (a pattern when its last part
// holds * or ?), or kInvalidHandle.
SysHandle SysFindFirstFile(const std::string& path, SysFindData* found);
bool SysFindClose(SysHandle search);
// Adds the names of the entries in the folder (its name may end in a
// separator), "." and ".." left out, in the run's code page (on Linux a name
// that does not convert holds the byte 0xFF, which no name of the code page
// holds); false when the folder cannot be read.
bool SysListFolder(const std::string& folder, std::vector<std::string>& names);
uint32_t SysGetFileAttributes(const std::string& path);
bool SysCreateDirectory(const std::string& path);
bool SysDeleteFile(const std::string& path);

// The profile service over sectioned key-value files. Copies at most
// size - 1 bytes of the value (or of the default) and a terminating zero;
// gives the number of bytes copied.
uint32_t SysGetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultText,
                                    char* buffer, uint32_t size, const std::string& path);
// Asks the service to drop any copy of the file that it holds.
void SysFlushPrivateProfile(const std::string& path);
// Whether the service could read the file: on Linux false, with the error,
// where the system refused to open or read it (EACCES, EIO); the Windows
// service gives its defaults for such a file, and the program keeps its
// ways there (always true).
bool SysProfileReadable(const std::string& path, SysError* why);

inline constexpr uint32_t kCodePageShiftJis = 932;
inline constexpr uint32_t kCodePageUtf8 = 65001;

// The code page of the run's texts (932 until the rule file names UTF-8):
// names, the profile service's values, the command line and the module
// file name, and on a Linux terminal the console text. Set through the
// code-page module (codepage/code_page.h), which also owns the character
// rule, comparison and lower-casing.
void SysUseCodePage(uint32_t codePage);
// The system's comparison of text in the ANSI code page of the user's
// locale, code page 932 (Windows: CompareStringA, user default locale;
// Linux reproduces it). Gives 1 (less), 2 (equal), 3 (greater), or 0 on
// failure. The code-page module calls it for code page 932 only.
int SysCompareString(bool ignoreCase, std::string_view first, std::string_view second);
// The same code page's lower-casing in place (Windows: CharLowerBuffA).
void SysCharLowerBuff(char* text, uint32_t length);
// A key of a code page 932 text for finding it by the comparison that
// ignores case: texts that SysCompareString(true, ...) finds equal have
// equal keys (Windows: the system's own sort key; Linux: the text with
// every letter made small and every duplicate code made the one code page
// 932 writes back). Texts whose keys are equal may still differ: a find
// confirms with SysCompareString. False when the system gives no key.
bool SysCompareKey(std::string_view text, std::string& key);
// Fills up to six pairs of first and last lead-byte values of the ANSI code
// page; gives the number of pairs. Windows asks for the code page of the
// thread's locale; the Linux backend always gives those of code page 932.
int SysLeadByteRanges(uint8_t ranges[12]);

// A name the system takes as rooted without a drive, to be used as it
// stands: on Linux a name that begins with "/"; none on Windows, where such
// a name lies on the program's drive.
bool SysIsRootedName(std::string_view name);

// Process.
// The command line. Windows keeps it as one text, which the program splits
// into words by its own rules; Linux hands the arguments over as words,
// which the program takes exactly as they are (an empty argument is an empty
// word, quotes are kept). Fills `line` or `arguments` (the words after word
// 0); gives true when it filled `arguments`.
bool SysGetCommandLine(std::string& line, std::vector<std::string>& arguments);
// A command-line word that names a file of the system's own form rather
// than an option: on Linux "/data/in.csv" (an existing file or folder whose
// name holds a second "/"); never on Windows, where "/" starts an option.
bool SysIsPathWord(std::string_view word);
// Copies the program file's full path, cut to size - 1 bytes, and a zero;
// gives its length, or 0 on failure (code 2: nothing names the program's
// file). Never allocates.
uint32_t SysGetModuleFileName(char* buffer, uint32_t size);
// Called once at program start, before anything else, with main's
// arguments (the Linux command line; Windows asks the system for its own):
// holds the standard descriptors that the parent left closed, and catches
// the requests to stop (SIGINT, SIGTERM, SIGHUP on Linux; Ctrl+C,
// Ctrl+Break and closing the console on Windows). A second request ends the
// process at once.
void SysStartProcess(int argc, char** argv);
// A request to stop has come: the run ends at the next line boundary. Set
// by the backend's handler (a signal handler, or the console's handler
// thread); read once a line, so the test is one load.
extern std::atomic<bool> gSysInterruptRequested;
inline bool SysInterruptRequested() { return gSysInterruptRequested.load(std::memory_order_relaxed); }
[[noreturn]] void SysExitProcess(uint32_t status);

// What the system's users expect beyond the Windows tool's ways, filled once
// by the backend and read by app/ alone, which decides from it what a run
// does (the exit status of a user error, the "-" words, the help text,
// where relative names are taken, the summary for scripts) and hands the
// layers below what they need. On Linux all of it, as Linux tools behave;
// on Windows none of it, and the program keeps the ways its users rely on.
struct SysUserConventions {
    // A run that met a user error ends with status 2 (Windows: 0, the run
    // reached its end).
    bool userErrorFails;
    // A relative rule file name is the file in the current folder, and a
    // relative or absent BaseDir lies in the rule file's own folder
    // (Windows: both next to the program).
    bool namesFromCurrentFolder;
    // Words that begin with "-": -h, --help, --version, --summary=json, and
    // "-" as the input for standard input.
    bool dashWords;
};
const SysUserConventions& SysConventions();
// The current folder as the system names it, ending in a separator.
std::string SysCurrentFolder();
// Milliseconds from a fixed point, never going back.
uint64_t SysMilliseconds();
// Has the system back the memory with pages now, in one call, rather than
// one fault a page as it is first written; only a hint, which a system
// that cannot take it ignores (the Windows program does).
void SysBackMemory(void* start, size_t size);
// Tells this start of the system from others: a record of it, one word,
// and whether a record names this start (a journal left by a run killed
// since, not by a power cut or a restart).
std::string SysBootRecord();
bool SysSameBoot(std::string_view record);
// From now on gSysTickDue is set every `period` milliseconds, until
// SysStopTicker (Linux only: the Windows program shows no progress).
void SysStartTicker(uint32_t period);
void SysStopTicker();
extern std::atomic<bool> gSysTickDue;
inline bool SysTickDue() { return gSysTickDue.load(std::memory_order_relaxed); }
// Console text in UTF-8 from now on, whatever the data's code page (a
// Linux terminal then gets it unconverted).
void SysConsoleTextInUtf8();
// Text of the run's code page in UTF-8; a byte that does not convert
// becomes U+FFFD.
std::string SysTextToUtf8(std::string_view text);
