// The message catalogue. This file is compiled with -fexec-charset=CP932, so
// every literal of messages.inc is held here as code page 932 bytes: the
// texts the program starts with. UseUtf8Messages switches them to their UTF-8
// twins of messages_utf8.cpp.
#include "messages/messages.h"

#define MESSAGE(name, text) std::string_view name = text;
#define IO_MESSAGE(code, text)
#include "messages/messages.inc"
#undef MESSAGE
#undef IO_MESSAGE

IoMessage kIoMessages[kIoMessageCount] = {
#define MESSAGE(name, text)
#define IO_MESSAGE(code, text) {code, text},
#include "messages/messages.inc"
#undef MESSAGE
#undef IO_MESSAGE
};

// ROWDISPATCH_VERSION comes from the project version in CMakeLists.txt.
const std::string_view kVersionLines[6] = {
    "",
    "-------- Version of Rowdispatch --------",
    "  Version " ROWDISPATCH_VERSION,
    "  Build   2003.04.15",
    "  **** Tessaline ****",
    "----------------------------------------",
};

namespace {

// Every switchable text, in the order of messages.inc.
std::string_view* const kTexts[] = {
#define MESSAGE(name, text) &name,
#define IO_MESSAGE(code, text)
#include "messages/messages.inc"
#undef MESSAGE
#undef IO_MESSAGE
};

#define TEXT_TABLE kShiftJisTexts
#define IO_TEXT_TABLE kShiftJisIoTexts
#include "messages/message_tables.inc"
#undef TEXT_TABLE
#undef IO_TEXT_TABLE

static_assert(std::size(kTexts) == std::size(kShiftJisTexts));
static_assert(std::size(kShiftJisIoTexts) == kIoMessageCount);

}  // namespace

void UseUtf8Messages(bool utf8) {
    for (size_t i = 0; i < std::size(kTexts); ++i) *kTexts[i] = utf8 ? kUtf8Texts[i] : kShiftJisTexts[i];
    for (size_t i = 0; i < kIoMessageCount; ++i) kIoMessages[i].text = utf8 ? kUtf8IoTexts[i] : kShiftJisIoTexts[i];
}
