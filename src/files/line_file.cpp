#include "files/line_file.h"

#include <algorithm>
#include <cstring>

#include "app/messages.h"
#include "process/io_result.h"

namespace {

constexpr unsigned char kEndOfFileByte = 26;
constexpr unsigned char kLf = '\n';
constexpr unsigned char kCr = '\r';

bool IsConsole(const LineFile& file) { return file.name.empty(); }

// One WriteFile call with every pending byte; the pending count becomes 0
// whether or not it succeeds. Gives false on failure.
bool WriteBuffer(LineFile& file) {
    uint32_t pending = file.position;
    file.position = 0;
    if (pending == 0) return true;
    uint32_t written = 0;
    if (!SysWriteFile(file.handle, file.buffer, pending, &written)) {
        StoreIoResult(static_cast<int32_t>(SysLastError()));
        return false;
    }
    return true;
}

// The type rule after an open for writing: no type fails with 105, a
// character device is written through.
void ApplyTypeRule(LineFile& file) {
    SysFileType type = SysGetFileType(file.handle);
    if (type == SysFileType::Unknown) {
        if (!IsConsole(file)) SysCloseHandle(file.handle);
        file.state = LineFileState::Closed;
        StoreIoResult(kIoNotOpenForOutput);
        return;
    }
    file.writeThrough = type == SysFileType::Char;
}

bool OpenNamed(LineFile& file, uint32_t access, uint32_t disposition, LineFileState state) {
    if (file.state != LineFileState::Closed) CloseLineFile(file);
    file.position = 0;
    file.end = 0;
    file.dataEnded = false;
    file.writeThrough = false;
    file.handle = SysCreateFile(file.name, access, kShareRead, disposition, kAttributeNormal);
    if (file.handle == kInvalidHandle) {
        file.state = LineFileState::Closed;
        StoreIoResult(static_cast<int32_t>(SysLastError()));
        return false;
    }
    file.state = state;
    return true;
}

void OpenConsole(LineFile& file) {
    file.position = 0;
    file.end = 0;
    file.handle = SysGetStdOutput();
    if (file.handle == kInvalidHandle) {
        StoreIoResult(static_cast<int32_t>(SysLastError()));
        return;
    }
    file.state = LineFileState::Writing;
    ApplyTypeRule(file);
}

// A failed or empty fill is the end of the data; every later fill then
// answers the end without asking the system again.
bool FillBuffer(LineFile& file) {
    file.position = 0;
    file.end = 0;
    if (file.dataEnded) return false;
    uint32_t delivered = 0;
    if (!SysReadFile(file.handle, file.buffer, kBufferSize, &delivered)) {
        uint32_t code = SysLastError();
        if (code != kErrorBrokenPipe) StoreIoResult(static_cast<int32_t>(code));
        delivered = 0;
    }
    if (delivered == 0) {
        file.dataEnded = true;
        return false;
    }
    file.end = delivered;
    return true;
}

// The next byte, or -1 at the end of the data or at a byte 26, which then
// stays unread.
int NextByte(LineFile& file) {
    if (file.position >= file.end && !FillBuffer(file)) return -1;
    unsigned char byte = file.buffer[file.position];
    if (byte == kEndOfFileByte) return -1;
    ++file.position;
    return byte;
}

bool CheckReading(LineFile& file) {
    if (file.state == LineFileState::Reading) return true;
    StoreIoResult(kIoNotOpenForInput);
    return false;
}

}  // namespace

void BindLineFile(LineFile& file, std::string_view name) {
    file.handle = kInvalidHandle;
    file.state = LineFileState::Closed;
    file.name.assign(name);
    file.position = 0;
    file.end = 0;
    file.writeThrough = false;
    file.dataEnded = false;
}

void OpenForReading(LineFile& file) {
    OpenNamed(file, kGenericRead, kOpenExisting, LineFileState::Reading);
}

namespace {

void OpenAppending(LineFile& file, uint32_t disposition) {
    if (!OpenNamed(file, kGenericRead | kGenericWrite, disposition, LineFileState::Writing)) return;
    // Reading the last block leaves the file position after the last byte;
    // the bytes read are not output.
    uint64_t size = 0;
    uint32_t delivered = 0;
    if (!SysGetFileSize(file.handle, &size) ||
        !SysSetFilePointer(file.handle, size < kBufferSize ? 0 : size - kBufferSize) ||
        !SysReadFile(file.handle, file.buffer, kBufferSize, &delivered)) {
        StoreIoResult(static_cast<int32_t>(SysLastError()));
        return;
    }
    file.position = 0;
    ApplyTypeRule(file);
}

}  // namespace

void OpenForAppending(LineFile& file) { OpenAppending(file, kOpenExisting); }

void OpenForAppendingOrCreating(LineFile& file) { OpenAppending(file, kOpenAlways); }

bool AtEndOfFile(LineFile& file) {
    if (!CheckReading(file)) return true;
    if (file.position < file.end) return file.buffer[file.position] == kEndOfFileByte;
    if (NextByte(file) < 0) return true;
    --file.position;
    return false;
}

void ReadLineText(LineFile& file, std::string& line) {
    line.clear();
    if (!CheckReading(file)) return;
    for (;;) {
        if (file.position >= file.end && !FillBuffer(file)) return;
        const unsigned char* bytes = file.buffer;
        // The line runs to the first LF or CR, whichever comes first.
        const unsigned char* start = bytes + file.position;
        size_t span = file.end - file.position;
        if (const void* lf = std::memchr(start, kLf, span)) span = static_cast<const unsigned char*>(lf) - start;
        if (const void* cr = std::memchr(start, kCr, span)) span = static_cast<const unsigned char*>(cr) - start;
        uint32_t i = file.position + static_cast<uint32_t>(span);
        line.append(reinterpret_cast<const char*>(bytes + file.position), i - file.position);
        file.position = i;
        if (i == file.end) continue;
        if (bytes[i] == kLf) return;  // the LF stays unread
        // A CR ends the line only before an LF; a CR alone is dropped.
        if (i + 1 < file.end) {
            if (bytes[i + 1] == kLf) return;  // the CR stays unread
            file.position = i + 1;
            continue;
        }
        file.position = file.end;
        if (!FillBuffer(file)) return;
        if (file.buffer[0] == kLf) return;
    }
}

void SkipLineEnd(LineFile& file) {
    if (!CheckReading(file)) return;
    for (;;) {
        int byte = NextByte(file);
        if (byte < 0 || byte == kLf) return;
        if (byte == kCr) {
            int after = NextByte(file);
            if (after < 0 || after == kLf) return;
            --file.position;
        }
    }
}

void WriteText(LineFile& file, std::string_view text) {
    if (file.state != LineFileState::Writing) {
        if (IsConsole(file) && file.state == LineFileState::Closed) {
            OpenConsole(file);
            if (file.state != LineFileState::Writing) return;
        } else {
            StoreIoResult(kIoNotOpenForOutput);
            return;
        }
    }
    while (!text.empty()) {
        size_t count = std::min<size_t>(kBufferSize - file.position, text.size());
        std::memcpy(file.buffer + file.position, text.data(), count);
        file.position += static_cast<uint32_t>(count);
        text.remove_prefix(count);
        if (file.position == kBufferSize && !WriteBuffer(file)) return;
    }
}

void WriteLineEnd(LineFile& file) {
    WriteText(file, kLineEnd);
    FinishWrite(file);
}

void FinishWrite(LineFile& file) {
    switch (file.state) {
        case LineFileState::Closed:
            if (!IsConsole(file)) StoreIoResult(kIoFileNotOpen);
            return;
        case LineFileState::Reading:
            return;
        case LineFileState::Writing:
            if (file.writeThrough) WriteBuffer(file);
            return;
    }
}

void CloseLineFile(LineFile& file) {
    if (file.state == LineFileState::Closed) {
        StoreIoResult(kIoFileNotOpen);
        return;
    }
    if (file.state == LineFileState::Writing && !WriteBuffer(file)) return;
    if (IsConsole(file)) return;  // the standard handle stays open
    if (!SysCloseHandle(file.handle)) StoreIoResult(static_cast<int32_t>(SysLastError()));
    file.handle = kInvalidHandle;
    file.state = LineFileState::Closed;
}

LineFile::~LineFile() {
    if (state == LineFileState::Closed || IsConsole(*this)) return;
    // Nothing is left to report to: the results are ignored.
    uint32_t written = 0;
    if (state == LineFileState::Writing && position > 0) SysWriteFile(handle, buffer, position, &written);
    SysCloseHandle(handle);
}

LineFile& ConsoleOutput() {
    static LineFile console;
    return console;
}

void FlushConsoleText() {
    LineFile& console = ConsoleOutput();
    if (console.state == LineFileState::Writing) WriteBuffer(console);
    PendingIoResult = 0;
}

int32_t ShutDownConsole() {
    LineFile& console = ConsoleOutput();
    if (console.state != LineFileState::Writing) return 0;
    TakeIoResult();
    CloseLineFile(console);
    return TakeIoResult();
}
