// Linked into every fuzz target: the lead bytes are fixed before libFuzzer
// starts, as the program fixes them at its start.
#include "files/file_system.h"

namespace {

const bool leadBytesReady = (InitLeadBytes(), true);

}  // namespace
