#include "session/console_messages.h"

#include "files/line_file.h"
#include "messages/messages.h"
#include "process/failure.h"
#include "process/io_result.h"
#include "session/run_options.h"

namespace {

void WriteLine(std::string_view prefix, std::initializer_list<std::string_view> pieces) {
    LineFile& console = ConsoleOutput();
    if (!prefix.empty()) WriteText(console, prefix);
    for (std::string_view piece : pieces) WriteText(console, piece);
    WriteLineEnd(console);
    CheckIo(kPlaceWriteConsole);
}

}  // namespace

void WriteInfo(std::initializer_list<std::string_view> pieces) {
    if (gRunOptions.InfoEnabled) WriteLine({}, pieces);
}

void WriteError(std::initializer_list<std::string_view> pieces) {
    if (gRunOptions.ErrorEnabled) WriteLine(kErrorPrefix, pieces);
}

void PrintStartBanner() { WriteInfo(kStartBanner); }

void PrintEndBanner() { WriteInfo(kEndBanner); }

void PrintHelp(std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines) WriteLine({}, {line});
}

void WriteConsoleText(std::string_view text) {
    WriteText(ConsoleOutput(), text);
    FinishWrite(ConsoleOutput());
    CheckIo(kPlaceWriteConsole);
}

void PrintVersion() {
    for (std::string_view line : kVersionLines) WriteInfo(line);
}
