#pragma once
// The pending I/O result: file and console operations never throw; a failed
// one leaves its code here and returns, and CheckIo after the statement
// turns the code into the failure that ends the run. One slot per thread,
// 0 when nothing is pending. TakeIoResult takes it and clears it; besides,
// the line file puts back a code pending from before a close, and drops
// what the flush of the console before a failure report leaves.

#include <cstdint>
#include <string>

// The facilities' own codes.
inline constexpr int32_t kIoFileNotOpen = 103;
inline constexpr int32_t kIoNotOpenForInput = 104;
inline constexpr int32_t kIoNotOpenForOutput = 105;

inline thread_local int32_t PendingIoResult = 0;

inline void StoreIoResult(int32_t code) {
    if (code != 0) PendingIoResult = code;
}

int32_t TakeIoResult();
// Takes the pending code and raises the input/output failure for it (or the
// interruption, when a request to stop cut the operation short).
[[noreturn]] void RaiseIoFailure(uint32_t place);

// Costs one read of a per-thread integer when nothing is pending.
inline void CheckIo(uint32_t place) {
    if (PendingIoResult != 0) RaiseIoFailure(place);
}

// The reason for an input/output code in English, for the diagnostic line:
// the program's own codes in its words, the system's codes in the system's.
std::string IoReasonText(int32_t code);
// The report's message for an input/output code.
std::string IoFailureMessage(int32_t code);
