#pragma once
// The run sequence: from the option scan to the end banner (or the usage or
// the version text); gives the exit status. main ends the process after it.

#include <cstdint>

uint32_t RunSequence();
