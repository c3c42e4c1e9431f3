// The UTF-8 twins of the catalogue's texts, in the order of messages.inc:
// this file is compiled with the literals left in UTF-8.
#include "app/messages.h"

const std::string_view kUtf8Texts[] = {
#define MESSAGE(name, text) text,
#define IO_MESSAGE(code, text)
#include "app/messages.inc"
#undef MESSAGE
#undef IO_MESSAGE
};

const std::string_view kUtf8IoTexts[] = {
#define MESSAGE(name, text)
#define IO_MESSAGE(code, text) text,
#include "app/messages.inc"
#undef MESSAGE
#undef IO_MESSAGE
};
