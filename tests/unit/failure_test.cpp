#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <limits>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "process/failure.h"
#include "process/io_result.h"
#include "unit_support.h"

namespace {

// The report's fixed pieces in code page 932: "がモジュール ", " の ", " で発生しました。".
constexpr std::string_view kAtModule = "\x82\xaa\x83\x82\x83\x57\x83\x85\x81\x5b\x83\x8b ";
constexpr std::string_view kIn = " \x82\xcc ";
constexpr std::string_view kArose = " \x82\xc5\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42";
// "ファイルへのアクセスが拒否されました"
constexpr std::string_view kAccessDenied =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xd6\x82\xcc\x83\x41\x83\x4e\x83\x5a\x83\x58\x82\xaa\x8b\x91\x94\xdb"
    "\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd";

std::string IoError(std::string_view number) {  // "I/O エラー (N)"
    return "I/O \x83\x47\x83\x89\x81\x5b (" + std::string(number) + ")";
}

std::string FirstLine(std::string_view kind, std::string_view module, std::string_view place) {
    return std::string(kind) + std::string(kAtModule) + std::string(module) + std::string(kIn) + std::string(place) +
           std::string(kArose) + "\n";
}

std::string Report(std::string_view kind, std::string_view module, uint32_t place, std::string_view message) {
    static char out[4096];
    const size_t length = BuildFailureReport(kind, module, place, message, out);
    EXPECT_LE(length, kReportLimit);
    return std::string(out, std::min(length, sizeof out));
}

}  // namespace

TEST(Failure, InputOutputReportByCode) {
    const std::vector<std::pair<int32_t, std::string>> cases = {
        {2, "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1"},
        {3, "\x95\x73\x90\xb3\x82\xc8\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc\x82\xc5\x82\xb7"},
        {4,
         "\x83\x49\x81\x5b\x83\x76\x83\x93\x82\xb5\x82\xbd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x91\xbd\x82\xb7"
         "\x82\xac\x82\xdc\x82\xb7"},
        {5, std::string(kAccessDenied)},
        {100,
         "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcc\x96\x96\x94\xf6\x88\xc8\x8d\x7e\x82\xf0\x93\xc7\x82\xdd\x8d\x9e"
         "\x82\xdd\x82\xdc\x82\xb5\x82\xbd"},
        {101, "\x83\x66\x83\x42\x83\x58\x83\x4e\x82\xaa\x82\xa2\x82\xc1\x82\xcf\x82\xa2\x82\xc5\x82\xb7"},
        {106,
         "\x93\xfc\x97\xcd\x92\x6c\x82\xaa\x90\x94\x92\x6c\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1"},
        {32, IoError("32")},
        {102, IoError("102")},
        {103, IoError("103")},
        {105, IoError("105")},
        {112, IoError("112")},
        {-7, IoError("-7")},
    };
    for (const auto& [code, message] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(IoFailureMessage(code), message);
        EXPECT_EQ(Report("EInOutError", "rowdispatch.exe", 0x00000201, IoFailureMessage(code)),
                  FirstLine("EInOutError", "rowdispatch.exe", "00000201") + message + ".");
    }
}

TEST(Failure, ReportFormat) {
    const std::string kind = "Exception";
    const auto first = [&](std::string_view place) { return FirstLine(kind, "r.exe", place); };
    // An empty message leaves the second line empty; only a final "." byte counts as one.
    EXPECT_EQ(Report(kind, "r.exe", 0, ""), first("00000000"));
    EXPECT_EQ(Report(kind, "r.exe", 0xABCDEF12, "Done."), first("ABCDEF12") + "Done.");
    EXPECT_EQ(Report(kind, "r.exe", 0x1F, "a.b"), first("0000001F") + "a.b.");
    EXPECT_EQ(Report(kind, "r.exe", 0xFFFFFFFF, "\x8a\xae\x97\xb9\x81\x42"),  // 完了。
              first("FFFFFFFF") + "\x8a\xae\x97\xb9\x81\x42.");

    // Cut at 1,023 bytes, the final "." included.
    const size_t head = first("00000000").size();
    for (const size_t total : {size_t{1022}, size_t{1023}, size_t{1024}, size_t{3000}}) {
        SCOPED_TRACE(total);
        const std::string message(total - head - 1, 'm');
        const std::string whole = first("00000000") + message + ".";
        ASSERT_EQ(whole.size(), total);
        EXPECT_EQ(Report(kind, "r.exe", 0, message), whole.substr(0, kReportLimit));
    }
}

TEST(Failure, ModuleNameAndNumbers) {
    const std::vector<std::pair<std::string_view, std::string_view>> modules = {
        {"C:\\Tools\\rowdispatch.exe", "rowdispatch.exe"},
        {"rowdispatch.exe", "rowdispatch.exe"},
        {"Z:\\work\\\x95\x5C.exe", "\x95\x5C.exe"},         // 表.exe
        {"C:\\\x95\x5C", "\x95\x5C"},                       // 表
        {"C:\\dir\\\x83\x5C\x95\x5C", "\x83\x5C\x95\x5C"},  // ソ表
        {"C:prog.exe", "C:prog.exe"},                       // only a backslash counts
        {"C:\\a/b.exe", "a/b.exe"},
        {"C:\\dir\\", ""},
        {"", ""},
    };
    for (const auto& [path, name] : modules)
        EXPECT_EQ(ModuleNameOf(path), name) << ::testing::PrintToString(std::string(path));

    EXPECT_EQ(WithNumber(IoError("%d"), 32), IoError("32"));
    EXPECT_EQ(WithNumber("(%d)", -1), "(-1)");
    EXPECT_EQ(WithNumber("x%dy", 0), "x0y");
    EXPECT_EQ(WithNumber("%d", -2147483648LL), "-2147483648");
    EXPECT_EQ(WithNumber("%d", std::numeric_limits<int64_t>::min()), "-9223372036854775808");

    const std::vector<std::tuple<uint32_t, uint32_t, std::string_view>> lines = {
        {2, 0x0040A1B2, "Runtime error   2 at 0040A1B2"}, {217, 0x0040A1B2, "Runtime error 217 at 0040A1B2"},
        {42, 0x1F, "Runtime error  42 at 0000001F"},      {203, 0, "Runtime error 203 at 00000000"},
        {0, 0xDEADBEEF, "Runtime error   0 at DEADBEEF"},
    };
    for (const auto& [number, address, line] : lines) {
        char out[64] = {};
        BuildLastResortLine(number, address, out);
        EXPECT_EQ(std::string_view(out, kLastResortLength), line);
    }
}

TEST(Failure, CheckIoRaisesThePendingCode) {
    TakeIoResult();
    EXPECT_FALSE(FailureOf([] { CheckIo(kPlaceOpenInput); }).has_value());

    StoreIoResult(5);
    StoreIoResult(0);  // a success leaves the code in place
    const auto failure = FailureOf([] { CheckIo(kPlaceOpenDestination); });
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->kindName, "EInOutError");
    EXPECT_EQ(failure->message, kAccessDenied);
    EXPECT_EQ(failure->place, kPlaceOpenDestination);
    EXPECT_EQ(PendingIoResult, 0);

    StoreIoResult(112);
    EXPECT_EQ(TakeIoResult(), 112);
    EXPECT_EQ(TakeIoResult(), 0);
}
