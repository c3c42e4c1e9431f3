#include "files/line_file.h"

#include <algorithm>
#include <cstring>

#include "messages/messages.h"
#include "process/io_result.h"

namespace {

constexpr unsigned char kEndOfFileByte = 26;
constexpr unsigned char kLf = '\n';
constexpr unsigned char kCr = '\r';

bool IsConsole(const LineFile& file) { return file.name.empty(); }

// Cuts back the bytes of a failed write that reached the file, and the
// part of their line written before, when the file holds exactly what this
// file wrote; bytes another program appended meanwhile are never cut.
void CutBack(LineFile& file) {
    uint64_t now = 0;
    if (file.size == file.wholeSize) return;
    if (SysGetFileSize(file.handle, &now) && now == file.size && SysTruncateFile(file.handle, file.wholeSize)) {
        file.size = file.wholeSize;
    }
}

// One WriteFile call with the bytes; `endsLine` tells whether they end at a
// line end. A journal learns the end first. A write that fails or falls
// short cuts back what it wrote of its line. Gives false on failure.
bool HandOver(LineFile& file, const void* bytes, uint32_t size, bool endsLine) {
    if (size == 0) return true;
    if (file.atLineEnd) file.wholeSize = file.size;
    uint32_t written = 0;
    bool done = (file.record == nullptr || RecordEnd(*file.record, file.size + size)) &&
                SysWriteFile(file.handle, bytes, size, &written);
    file.size += written;
    if (done && written == size) {
        file.atLineEnd = endsLine;
        if (file.record != nullptr) file.record->knownEnd = file.size;
        return true;
    }
    // A write that reports success for fewer bytes is a fault as well.
    SysError error = done ? SysError{kErrorWriteFault, kDiagnosticShortWrite} : SysLastFailure();
    if (file.cutBack) CutBack(file);
    if (file.record != nullptr) file.record->knownEnd = file.size;
    file.atLineEnd = true;
    StoreIoError(error);
    return false;
}

// Every pending byte in one write; the pending count becomes 0 whether or
// not it succeeds. Gives false on failure.
bool WriteBuffer(LineFile& file) {
    uint32_t pending = file.position;
    bool whole = file.lineEnd == pending;
    file.position = 0;
    file.lineEnd = 0;
    return HandOver(file, file.buffer.get(), pending, whole);
}

// A buffer of the size asked for; one the file holds already serves again.
void ProvideBuffer(LineFile& file, uint32_t size) {
    if (file.capacity == size) return;
    file.buffer.reset(new unsigned char[size]);
    file.capacity = size;
    file.backed = 0;
}

// Has the system back the buffer's first `end` bytes. The first page is
// left to the first write, so that a destination that takes a line or two
// stays at a page; past it the whole buffer is backed in one call, which
// costs less than a page fault for each of its pages.
void BackBuffer(LineFile& file, size_t end) {
    constexpr uint32_t kFirstPage = 4096;
    if (end <= file.backed) return;
    if (file.backed == 0 && end <= kFirstPage) {
        file.backed = std::min(kFirstPage, file.capacity);
        return;
    }
    SysBackMemory(file.buffer.get() + file.backed, file.capacity - file.backed);
    file.backed = file.capacity;
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
    file.cutBack = type == SysFileType::Disk && !IsConsole(file);
}

void ResetCounts(LineFile& file) {
    file.position = 0;
    file.end = 0;
    file.lineEnd = 0;
    file.dataEnded = false;
    file.writeThrough = false;
    file.cutBack = false;
    file.atLineEnd = true;
    file.size = 0;
    file.created = false;
    file.record = nullptr;
    file.watchSize = false;
    file.sizeSeen = 0;
}

// Takes the handle that `open` gives the file, as freshly opened.
template <typename Open>
bool OpenBy(LineFile& file, LineFileState state, Open open) {
    if (file.state == LineFileState::Reading || file.state == LineFileState::Writing) CloseLineFile(file);
    ResetCounts(file);
    ProvideBuffer(file, state == LineFileState::Reading ? kReadBlockSize : kWriteBlockSize);
    file.handle = open();
    if (file.handle == kInvalidHandle) {
        file.state = LineFileState::Closed;
        StoreIoError(SysLastFailure());
        return false;
    }
    file.state = state;
    return true;
}

bool OpenNamed(LineFile& file, uint32_t access, uint32_t disposition, LineFileState state,
               uint32_t attributes = kAttributeNormal) {
    return OpenBy(file, state, [&] {
        SysHandle handle = SysCreateFile(file.name, access, kShareRead, disposition, attributes);
        file.created = handle != kInvalidHandle && disposition == kOpenAlways && SysLastError() != kErrorAlreadyExists;
        return handle;
    });
}

void OpenConsole(LineFile& file) {
    ResetCounts(file);
    ProvideBuffer(file, kConsoleBlockSize);
    file.handle = SysGetStdOutput();
    if (file.handle == kInvalidHandle) {
        StoreIoError(SysLastFailure());
        return;
    }
    file.state = LineFileState::Writing;
    ApplyTypeRule(file);
}

// The file read is smaller than it was, or than the bytes read from it with
// this fill: another program cut it short or wrote it anew.
bool Shrank(LineFile& file, uint32_t delivered) {
    uint64_t size = 0;
    if (!SysGetFileSize(file.handle, &size)) return false;
    file.size += delivered;
    bool shrank = size < std::max(file.sizeSeen, file.size);
    file.sizeSeen = std::max(file.sizeSeen, size);
    return shrank;
}

// A failed or empty fill is the end of the data; every later fill then
// answers the end without asking the system again.
//
// A request to stop is looked at before every fill, so that it is heard
// within one block of input wherever the reading stands, inside an endless
// line too: the fill then fails, and the check after the read reports the
// interruption.
bool FillBuffer(LineFile& file) {
    file.position = 0;
    file.end = 0;
    if (file.dataEnded) return false;
    if (SysInterruptRequested()) {
        file.dataEnded = true;
        StoreIoError({kErrorOperationAborted, kDiagnosticInterrupted});
        return false;
    }
    BackBuffer(file, file.capacity);  // a read fills the buffer whole
    uint32_t delivered = 0;
    if (!SysReadFile(file.handle, file.buffer.get(), file.capacity, &delivered)) {
        SysError error = SysLastFailure();
        if (error.code != kErrorBrokenPipe) StoreIoError(error);
        delivered = 0;
    } else if (file.watchSize && Shrank(file, delivered)) {
        StoreIoResult(static_cast<int32_t>(kErrorReadFault));
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
    ResetCounts(file);
}

void OpenForReading(LineFile& file) {
    if (!OpenNamed(file, kGenericRead, kOpenExisting, LineFileState::Reading)) return;
    file.watchSize = SysGetFileType(file.handle) == SysFileType::Disk && SysGetFileSize(file.handle, &file.sizeSeen);
}

void OpenStandardInput(LineFile& file) { OpenBy(file, LineFileState::Reading, SysOpenStdInput); }

namespace {

void OpenAppending(LineFile& file, uint32_t disposition, uint32_t attributes) {
    // The lines held by a file set aside stay pending, opened or not.
    uint32_t held = file.state == LineFileState::Aside ? file.position : 0;
    bool opened = OpenNamed(file, kGenericRead | kGenericWrite, disposition, LineFileState::Writing, attributes);
    file.position = file.lineEnd = held;
    // The first byte written follows the last byte the file holds (a fresh
    // handle stands at 0 already). A file whose size cannot be had is closed
    // again: half open, it would hold a handle that nothing closes.
    if (opened &&
        (!SysGetFileSize(file.handle, &file.size) || (file.size != 0 && !SysSetFilePointer(file.handle, file.size)))) {
        StoreIoError(SysLastFailure());
        SysCloseHandle(file.handle);
        file.handle = kInvalidHandle;
        file.state = LineFileState::Closed;
    }
    if (file.state == LineFileState::Writing) ApplyTypeRule(file);
    if (file.state == LineFileState::Closed && held > 0) file.state = LineFileState::Aside;
}

}  // namespace

void OpenForAppendingOrCreating(LineFile& file) { OpenAppending(file, kOpenAlways, kAttributeNormal); }

void ReopenForAppending(LineFile& file) { OpenAppending(file, kOpenExisting, kAttributeNormal | kOpenSeenBefore); }

void SetAside(LineFile& file) {
    if (file.state != LineFileState::Writing) return;
    file.position = file.lineEnd;
    if (!SysCloseHandle(file.handle)) StoreIoError(SysLastFailure());
    file.handle = kInvalidHandle;
    file.state = file.position > 0 ? LineFileState::Aside : LineFileState::Closed;
}

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
        const unsigned char* bytes = file.buffer.get();
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

std::string_view ReadLine(LineFile& file, std::string& spill) {
    if (file.state == LineFileState::Reading && file.position < file.end) {
        // The usual line: its LF in the buffer, no CR in it but one right
        // before the LF.
        const char* start = reinterpret_cast<const char*>(file.buffer.get()) + file.position;
        if (const void* lf = std::memchr(start, kLf, file.end - file.position)) {
            size_t length = static_cast<size_t>(static_cast<const char*>(lf) - start);
            size_t text = length > 0 && start[length - 1] == kCr ? length - 1 : length;
            if (std::memchr(start, kCr, text) == nullptr) {
                file.position += static_cast<uint32_t>(length + 1);
                return std::string_view(start, text);
            }
        }
    }
    ReadLineText(file, spill);
    SkipLineEnd(file);
    return spill;
}

namespace {

bool ReadyToWrite(LineFile& file) {
    if (file.state == LineFileState::Writing) return true;
    if (IsConsole(file) && file.state == LineFileState::Closed) {
        OpenConsole(file);
        return file.state == LineFileState::Writing;
    }
    StoreIoResult(kIoNotOpenForOutput);
    return false;
}

void Copy(LineFile& file, std::string_view text) {
    std::memcpy(file.buffer.get() + file.position, text.data(), text.size());
    file.position += static_cast<uint32_t>(text.size());
}

void Append(LineFile& file, std::string_view text) {
    BackBuffer(file, file.position + text.size());
    Copy(file, text);
}

// A whole line and its line end, which fit in the buffer.
void AppendLine(LineFile& file, std::string_view text) {
    BackBuffer(file, file.position + text.size() + kLineEnd.size());
    Copy(file, text);
    Copy(file, kLineEnd);
    file.lineEnd = file.position;
}

}  // namespace

bool HoldLine(LineFile& file, std::string_view text) {
    if (file.state != LineFileState::Aside || text.size() + kLineEnd.size() > file.capacity - file.position) {
        return false;
    }
    AppendLine(file, text);
    return true;
}

void WriteText(LineFile& file, std::string_view text) {
    if (!ReadyToWrite(file)) return;
    while (!text.empty()) {
        if (file.position == file.capacity && !WriteBuffer(file)) return;
        size_t count = std::min<size_t>(file.capacity - file.position, text.size());
        Append(file, text.substr(0, count));
        text.remove_prefix(count);
    }
}

void WriteLineEnd(LineFile& file) {
    if (!ReadyToWrite(file)) return;
    // The line end never stands apart from its line's last byte.
    if (file.capacity - file.position < kLineEnd.size() && !WriteBuffer(file)) return;
    Append(file, kLineEnd);
    file.lineEnd = file.position;
    FinishWrite(file);
}

void WriteLine(LineFile& file, std::string_view text) {
    if (!ReadyToWrite(file)) return;
    size_t size = text.size() + kLineEnd.size();
    if (size > file.capacity - file.position && !WriteBuffer(file)) return;
    if (size <= file.capacity) {
        AppendLine(file, text);
    } else if (HandOver(file, text.data(), static_cast<uint32_t>(text.size()), false)) {
        // Longer than the buffer: straight to the system, cut back together
        // with its line end if that fails.
        HandOver(file, kLineEnd.data(), static_cast<uint32_t>(kLineEnd.size()), true);
    }
    FinishWrite(file);
}

void FinishWrite(LineFile& file) {
    switch (file.state) {
        case LineFileState::Closed:
            if (!IsConsole(file)) StoreIoResult(kIoFileNotOpen);
            return;
        case LineFileState::Reading:
        case LineFileState::Aside: return;
        case LineFileState::Writing:
            if (file.writeThrough) WriteBuffer(file);
            return;
    }
}

void WritePending(LineFile& file) {
    if (file.state == LineFileState::Writing) WriteBuffer(file);
}

void WritePendingToDisk(LineFile& file) {
    if (file.state != LineFileState::Writing || !WriteBuffer(file)) return;
    if (file.cutBack && !SysFlushFileBuffers(file.handle)) StoreIoError(SysLastFailure());
}

void DropPending(LineFile& file) {
    file.position = 0;
    file.lineEnd = 0;
}

void CloseLineFile(LineFile& file) {
    if (file.state == LineFileState::Closed || file.state == LineFileState::Aside) {
        StoreIoResult(kIoFileNotOpen);
        return;
    }
    if (file.state == LineFileState::Writing && !WriteBuffer(file)) return;
    if (IsConsole(file)) return;  // the standard handle stays open
    if (!SysCloseHandle(file.handle)) StoreIoError(SysLastFailure());
    file.handle = kInvalidHandle;
    file.state = LineFileState::Closed;
}

SysError AbandonLineFile(LineFile& file) {
    if (file.state == LineFileState::Aside) {  // its lines never reached the file
        DropPending(file);
        file.state = LineFileState::Closed;
    }
    if (file.state == LineFileState::Closed || IsConsole(file)) return {};
    SysError kept = TakeIoError();
    if (file.state == LineFileState::Writing) {
        // A part of a line never follows the last line end.
        file.position = file.lineEnd;
        WriteBuffer(file);
        if (!file.atLineEnd && file.cutBack) CutBack(file);
        if (file.record != nullptr) file.record->knownEnd = file.size;
    }
    SysCloseHandle(file.handle);
    file.handle = kInvalidHandle;
    file.state = LineFileState::Closed;
    SysError error = TakeIoError();
    RestoreIoError(kept);
    return error;
}

LineFile::~LineFile() { AbandonLineFile(*this); }

LineFile& ConsoleOutput() {
    static LineFile console;
    return console;
}

void FlushConsoleText() {
    LineFile& console = ConsoleOutput();
    if (console.state == LineFileState::Writing) WriteBuffer(console);
    TakeIoError();
}

int32_t ShutDownConsole() {
    LineFile& console = ConsoleOutput();
    if (console.state != LineFileState::Writing) return 0;
    TakeIoResult();
    CloseLineFile(console);
    return TakeIoResult();
}
