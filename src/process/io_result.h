#pragma once
// The pending I/O result: file and console operations never throw; a failed
// one leaves its error (the code, and the words for the line on standard
// error) here and returns, and CheckIo after the statement turns it into the
// failure that ends the run, with what the caller knows of it: the file the
// operation worked on and the first input line that may be missing from it.
// One slot per thread, code 0 when nothing is pending. TakeIoResult takes it
// and clears it; besides, the line file puts back an error pending from
// before a close, and drops what the flush of the console before a failure
// report leaves.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

// The facilities' own codes.
inline constexpr int32_t kIoFileNotOpen = 103;
inline constexpr int32_t kIoNotOpenForInput = 104;
inline constexpr int32_t kIoNotOpenForOutput = 105;

inline thread_local int32_t PendingIoResult = 0;
// The words for the pending code: the system's, or ours; a static text.
inline thread_local std::string_view PendingIoReason;

// A code of the facilities' own (103 to 105, a write fault they find), in
// their words.
void StoreIoResult(int32_t code);
// The error a platform call left (SysLastFailure()).
inline void StoreIoError(SysError error) {
    if (error.code == 0) return;
    PendingIoResult = static_cast<int32_t>(error.code);
    PendingIoReason = error.reason;
}

int32_t TakeIoResult();
// The pending error, taken (code 0: none).
SysError TakeIoError();
// Puts an error taken before back in the slot.
void RestoreIoError(SysError error);
// Takes the pending error and raises the input/output failure for it (or
// the interruption, when a request to stop cut the operation short), the
// file named as the program spells it.
[[noreturn]] void RaiseIoFailure(uint32_t place, std::string_view file, int64_t firstMissing);
// The same for a failure that an earlier step caused: what it did (a
// pattern with "%s" for the file), its file and its reason stand in the
// failure's context instead of the failed operation's.
[[noreturn]] void RaiseIoFailureCausedBy(uint32_t place, std::string_view causeAction, std::string_view file,
                                         std::string_view reason);

// Costs one read of a per-thread integer when nothing is pending. `file` is
// the file the checked operation worked on (none for the console), and
// `firstMissing` the first input line that may be missing from it.
inline void CheckIo(uint32_t place, std::string_view file = {}, int64_t firstMissing = 0) {
    if (PendingIoResult != 0) RaiseIoFailure(place, file, firstMissing);
}

// The words for a code of the facilities' own, in English; empty for
// another code.
std::string_view IoOwnReason(int32_t code);
// The report's message for an input/output code.
std::string IoFailureMessage(int32_t code);
