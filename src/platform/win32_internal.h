#pragma once
// Pieces of the Windows backend shared between its files. Not for the rest
// of the program: everything here speaks Windows.
#include <windows.h>

#include <cstdint>

namespace win32 {

// Every byte in WriteFile calls: a call that takes fewer bytes goes on with
// the rest, whose failure (a full disk: 112) is the one told; one that takes
// nothing is a write fault.
bool WriteAll(HANDLE file, const void* bytes, uint32_t size, uint32_t* written);

// Standard output when it may wait for a reader (a pipe, a console): its
// writes are made on a thread of their own, so that after a request to stop
// a write gives up after about a second (ERROR_OPERATION_ABORTED) instead of
// waiting for a reader that may never come. Elsewhere false.
bool WritesWithinGrace(HANDLE file);
bool WriteWithinGrace(const void* bytes, uint32_t size, uint32_t* written);

}  // namespace win32
