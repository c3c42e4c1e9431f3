// Console text on a Linux terminal. A Windows console shows the program's
// code page 932 bytes as Japanese text; a Linux terminal speaks UTF-8. So
// when standard output is a terminal, what is written to it is converted
// from code page 932 to UTF-8, and a byte that does not convert shows as
// U+FFFD. Files, pipes and every other kind of output get the bytes
// unchanged. No environment variable is read: the terminal alone decides.
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix_internal.h"
#include "platform/utf8.h"

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool terminal = false;
bool convert = true;  // the console text is code page 932
iconv_t converter = reinterpret_cast<iconv_t>(-1);
// A lead byte that ended the last write, waiting for its second byte.
char heldLead = 0;
bool leadHeld = false;

bool WriteAll(const char* bytes, size_t size) {
    size_t written = 0;
    return posix::WriteFully(STDOUT_FILENO, bytes, size, &written);
}

// Converts code page 932 text to UTF-8, handing the converted pieces to
// `put`; a byte that does not convert becomes U+FFFD. A lead byte at the
// end goes to `held` when given, else it does not convert.
template <typename Put>
bool Convert(iconv_t cd, const char* bytes, size_t size, char* held, Put put) {
    char out[1024];
    char* in = const_cast<char*>(bytes);
    size_t left = size;
    while (left > 0) {
        char* next = out;
        size_t room = sizeof out - sizeof kReplacement;
        size_t done = iconv(cd, &in, &left, &next, &room);
        int error = done == static_cast<size_t>(-1) ? errno : 0;
        if (error == EINVAL && left == 1 && held != nullptr) {  // a lead byte at the end
            *held = *in;
            leadHeld = true;
            left = 0;
        } else if (error == EILSEQ || error == EINVAL) {
            std::memcpy(next, kReplacement, sizeof kReplacement - 1);
            next += sizeof kReplacement - 1;
            ++in;
            --left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else if (error != 0 && error != E2BIG) {
            posix::SetLastError(kErrorWriteFault);
            return false;
        }
        if (!put(out, static_cast<size_t>(next - out))) return false;
    }
    return true;
}

// Converts one piece of console text and writes it out; a lead byte at its
// end is held for the next piece.
bool WriteConverted(const char* bytes, size_t size) { return Convert(converter, bytes, size, &heldLead, WriteAll); }

bool errorTerminal = false;

}  // namespace

namespace posix {

bool gConvertForTerminal = false;

void StartTerminal() {
    terminal = !StdOutputClosedAtStart() && isatty(STDOUT_FILENO) == 1;
    if (terminal && TextCharset() != nullptr) converter = iconv_open("UTF-8", TextCharset());
    terminal = terminal && converter != reinterpret_cast<iconv_t>(-1);
    gConvertForTerminal = terminal && convert;
    errorTerminal = isatty(STDERR_FILENO) == 1;
}

std::string CharsetToUtf8(std::string_view text) {
    std::string converted;
    iconv_t cd = TextCharset() != nullptr ? iconv_open("UTF-8", TextCharset()) : reinterpret_cast<iconv_t>(-1);
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8::Sanitized(text);
    Convert(cd, text.data(), text.size(), nullptr, [&](const char* bytes, size_t size) {
        converted.append(bytes, size);
        return true;
    });
    iconv_close(cd);
    return converted;
}


bool WriteToTerminal(const void* bytes, uint32_t size) {
    const char* text = static_cast<const char*>(bytes);
    if (leadHeld && size > 0) {
        char pair[2] = {heldLead, text[0]};
        leadHeld = false;
        if (!WriteConverted(pair, 2)) return false;
        ++text;
        --size;
    }
    return WriteConverted(text, size);
}

void UseTerminalConversion(bool wanted) {
    convert = wanted;
    gConvertForTerminal = terminal && convert;
}

}  // namespace posix

bool SysStdErrorIsTerminal() { return errorTerminal; }

void SysConsoleTextInUtf8() { posix::UseTerminalConversion(false); }
