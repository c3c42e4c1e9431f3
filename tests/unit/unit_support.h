#pragma once
// What the unit tests share: the lead bytes fixed before the first test, as
// the program fixes them at start, and a way to catch the one failure a call
// is meant to raise.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "files/file_system.h"
#include "process/failure.h"

class LeadBytesEnvironment : public ::testing::Environment {
public:
    void SetUp() override { InitLeadBytes(); }
};

inline ::testing::Environment* const kLeadBytesEnvironment = ::testing::AddGlobalTestEnvironment(
    new LeadBytesEnvironment);

// The failure the call raised, or nothing when it returned normally.
inline std::optional<Failure> FailureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}
