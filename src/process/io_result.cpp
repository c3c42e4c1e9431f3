#include "process/io_result.h"

#include "messages/messages.h"
#include "platform/platform.h"
#include "process/diagnostics.h"
#include "process/failure.h"

int32_t TakeIoResult() {
    int32_t code = PendingIoResult;
    PendingIoResult = 0;
    return code;
}

void RaiseIoFailure(uint32_t place) {
    int32_t code = TakeIoResult();
    // A read that a request to stop cut short reports the request.
    CheckInterrupt();
    CaptureIoFailure(code, place, IoReasonText(code));
    throw Failure{kIoFailureKind, IoFailureMessage(code), place};
}

std::string IoReasonText(int32_t code) {
    switch (code) {
        case kIoFileNotOpen:
        case kIoNotOpenForInput: return std::string(kDiagnosticNotOpen);
        case kIoNotOpenForOutput: return std::string(kDiagnosticNoOutput);
        default: return SysErrorText(static_cast<uint32_t>(code));
    }
}

std::string IoFailureMessage(int32_t code) {
    for (const IoMessage& entry : kIoMessages) {
        if (entry.code == code) return std::string(entry.text);
    }
    return WithNumber(kIoMessageOther, code);
}
