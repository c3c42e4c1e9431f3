#pragma once
// A scratch folder for tests that touch files, removed after each test.
// Files are written and read through the platform layer, so names are
// Windows paths on both builds.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

#include "platform/platform.h"

class ScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        folder_ = "scratch-" + std::to_string(stamp) + "-" + std::to_string(counter++);
        ASSERT_TRUE(SysCreateDirectory(folder_));
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

    static void PutFile(const std::string& name, const std::string& bytes) {
        SysHandle file = SysCreateFile(name, kGenericWrite, kShareRead, kOpenAlways, kAttributeNormal);
        ASSERT_NE(file, kInvalidHandle) << name;
        ASSERT_TRUE(SysTruncateFile(file, 0)) << name;
        uint32_t written = 0;
        ASSERT_TRUE(SysWriteFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &written));
        SysCloseHandle(file);
    }
    static std::string FileBytes(const std::string& name) {
        SysHandle file = SysCreateFile(name, kGenericRead, kShareRead | kShareWrite, kOpenExisting, kAttributeNormal);
        if (file == kInvalidHandle) return "<missing>";
        std::string bytes;
        char block[4096];
        uint32_t delivered = 0;
        while (SysReadFile(file, block, sizeof block, &delivered) && delivered > 0) bytes.append(block, delivered);
        SysCloseHandle(file);
        return bytes;
    }

private:
    std::string folder_;
};
