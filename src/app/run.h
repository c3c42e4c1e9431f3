#pragma once
// The run sequence: from the option scan to the end of the process.

[[noreturn]] void RunSequence();
