#include "process/io_result.h"

#include "messages/messages.h"
#include "platform/platform.h"
#include "process/failure.h"

void StoreIoResult(int32_t code) {
    if (code == 0) return;
    PendingIoResult = code;
    PendingIoReason = IoOwnReason(code);
}

int32_t TakeIoResult() { return static_cast<int32_t>(TakeIoError().code); }

SysError TakeIoError() {
    SysError error{static_cast<uint32_t>(PendingIoResult), PendingIoReason};
    PendingIoResult = 0;
    PendingIoReason = {};
    return error;
}

void RestoreIoError(SysError error) {
    PendingIoResult = static_cast<int32_t>(error.code);
    PendingIoReason = error.reason;
}

namespace {

[[noreturn]] void Raise(uint32_t place, FailureContext context) {
    SysError error = TakeIoError();
    // A read that a request to stop cut short reports the request.
    CheckInterrupt();
    int32_t code = static_cast<int32_t>(error.code);
    if (context.causeAction.empty()) context.reason = error.reason;
    Failure failure{kIoFailureKind, IoFailureMessage(code), place, code, std::move(context)};
    throw failure;
}

std::string ShownName(std::string_view file) { return file.empty() ? std::string() : SysShownName(std::string(file)); }

}  // namespace

void RaiseIoFailure(uint32_t place, std::string_view file, int64_t firstMissing) {
    Raise(place, {ShownName(file), {}, firstMissing, {}});
}

void RaiseIoFailureCausedBy(uint32_t place, std::string_view causeAction, std::string_view file,
                            std::string_view reason) {
    Raise(place, {ShownName(file), reason, 0, causeAction});
}

std::string_view IoOwnReason(int32_t code) {
    switch (code) {
        case kIoFileNotOpen:
        case kIoNotOpenForInput: return kDiagnosticNotOpen;
        case kIoNotOpenForOutput: return kDiagnosticNoOutput;
        default: return {};
    }
}

std::string IoFailureMessage(int32_t code) {
    for (const IoMessage& entry : kIoMessages) {
        if (entry.code == code) return std::string(entry.text);
    }
    return WithNumber(kIoMessageOther, code);
}
