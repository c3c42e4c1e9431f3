// The UTF-8 twins of the catalogue's texts, in the order of messages.inc:
// this file is compiled with the literals left in UTF-8.
#include "messages/messages.h"

#define TEXT_TABLE kUtf8Texts
#define IO_TEXT_TABLE kUtf8IoTexts
#include "messages/message_tables.inc"
#undef TEXT_TABLE
#undef IO_TEXT_TABLE
