#pragma once
// The buffered line file through which the input is read, destinations are
// written and console lines reach standard output. Bytes pass unchanged in
// both directions; lines may end in CR LF or LF, and every line end written
// is CR LF. No operation throws or answers an error: a failure leaves its
// code in PendingIoResult for the caller's CheckIo.
//
// Reads ask for 128 bytes at a time; a file open for writing is handed to
// the system in 128-byte blocks, and the rest at close, except on a
// character device, where every finished write statement goes out at once.
// A byte 26 at the start of a line ends the input; inside a line it is text.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

inline constexpr uint32_t kBufferSize = 128;

enum class LineFileState { Closed, Reading, Writing };

struct LineFile {
    SysHandle handle = kInvalidHandle;
    LineFileState state = LineFileState::Closed;
    std::string name;  // empty: the standard output of the process
    uint32_t position = 0;
    uint32_t end = 0;
    bool writeThrough = false;
    bool dataEnded = false;  // a fill delivered nothing or failed
    unsigned char buffer[kBufferSize];

    LineFile() = default;
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;
    // A named file still open when its owner goes (a failure travelling out
    // of the assort pass) hands its pending bytes to the system and is
    // closed, so every line routed before the failure is in its file.
    ~LineFile();
};

void BindLineFile(LineFile& file, std::string_view name);
void OpenForReading(LineFile& file);
void OpenForAppending(LineFile& file);
// As OpenForAppending, but a missing file is created; a file that exists by
// the time of the open is never emptied.
void OpenForAppendingOrCreating(LineFile& file);
bool AtEndOfFile(LineFile& file);
// Replaces `line` by the bytes of the current line, without its line end;
// stops in front of the line end.
void ReadLineText(LineFile& file, std::string& line);
void SkipLineEnd(LineFile& file);
void WriteText(LineFile& file, std::string_view text);
void WriteLineEnd(LineFile& file);
void FinishWrite(LineFile& file);
void CloseLineFile(LineFile& file);

// The one process-wide console writer: closed until its first write.
LineFile& ConsoleOutput();
// Writes out console text still buffered; results are ignored.
void FlushConsoleText();
// Closes standard output at the end of the process; gives the code of a
// failed final write, or 0.
int32_t ShutDownConsole();
