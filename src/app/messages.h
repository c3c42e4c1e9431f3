#pragma once
// Every text the program prints, as Shift-JIS bytes. The texts live in
// messages.cpp, written in UTF-8 and compiled to code page 932; nothing else
// holds message text.

#include <string_view>

// Every line the program writes, to the console or a destination, ends so.
inline constexpr std::string_view kLineEnd = "\r\n";

// Error lines (after the "Error : " prefix).
extern const std::string_view kErrorPrefix;
extern const std::string_view kNoRuleFileMessage;
extern const std::string_view kRuleFileMissingMessage;
extern const std::string_view kBadColumnMessage;
extern const std::string_view kNoInputFileMessage;
extern const std::string_view kInputFileMissingMessage;

// Debug lines.
extern const std::string_view kDebugRuleFile;
extern const std::string_view kDebugColumn;
extern const std::string_view kDebugBaseDir;
extern const std::string_view kDebugDefaultFile;
extern const std::string_view kDebugAbsent;

// The summary.
extern const std::string_view kSummaryInputCount;
extern const std::string_view kSummaryCountUnit;
extern const std::string_view kSummaryHeading;
extern const std::string_view kSummaryItemPrefix;
extern const std::string_view kSummaryItemSeparator;
extern const std::string_view kSummaryOtherLabel;

// Banners and the version text.
extern const std::string_view kStartBanner;
extern const std::string_view kEndBanner;
extern const std::string_view kVersionLines[6];

// Failures: kind names, messages and the report.
extern const std::string_view kIoFailureKind;
extern const std::string_view kOutOfMemoryKind;
extern const std::string_view kListIndexKind;
extern const std::string_view kGeneralFailureKind;
extern const std::string_view kInterruptKind;
extern const std::string_view kOutOfMemoryMessage;
extern const std::string_view kListIndexMessage;  // holds one %d
extern const std::string_view kMakeDirectoryMessage;
extern const std::string_view kInterruptMessage;
extern const std::string_view kIoMessageOther;    // holds one %d

struct IoMessage {
    int code;
    std::string_view text;
};
extern const IoMessage kIoMessages[7];

// "%sがモジュール %s の %p で発生しました。\n%s%s"
extern const std::string_view kReportFormat;
extern const std::string_view kLastResortTemplate;
