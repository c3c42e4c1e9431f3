#pragma once
// The places a failure can arise, shared by the report and the diagnostic
// line. A leaf of the process modules.

#include <cstdint>

// Where a failure arose: a stable number for each kind of operation, the
// same on every platform, printed in the report.
enum FailurePlace : uint32_t {
    kPlaceUnknown = 0x00000000,
    kPlaceOpenInput = 0x00000101,
    kPlaceReadInput = 0x00000102,
    kPlaceCloseInput = 0x00000103,
    kPlaceOpenDestination = 0x00000201,
    kPlaceWriteDestination = 0x00000202,
    kPlaceCloseDestination = 0x00000203,
    kPlaceWriteConsole = 0x00000301,
    kPlaceMakeDirectory = 0x00000401,
    kPlaceListIndex = 0x00000501,
    kPlaceMemory = 0x00000601,
    kPlaceInterrupt = 0x00000701,
};
