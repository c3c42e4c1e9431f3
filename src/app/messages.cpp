// The message catalogue. This file is compiled with -fexec-charset=CP932,
// so every literal below is held as Shift-JIS bytes.
#include "app/messages.h"

const std::string_view kErrorPrefix = "Error : ";
const std::string_view kNoRuleFileMessage = "ルール設定ファイルが指定されていません。";
const std::string_view kRuleFileMissingMessage = "指定されたルール設定ファイルが見つかりません。\r\n - ";
const std::string_view kBadColumnMessage = "チェックするカラムが正しく指定されていません。\r\n - カラム番号 : ";
const std::string_view kNoInputFileMessage = "入力ファイルが指定されていません。";
const std::string_view kInputFileMissingMessage = "指定された入力ファイルが見つかりません。\r\n - ";

const std::string_view kDebugRuleFile = "** DEBUG ** : ルール設定ファイル = ";
const std::string_view kDebugColumn = "** DEBUG ** : チェックカラム = ";
const std::string_view kDebugBaseDir = "** DEBUG ** : 仕分け先ファイルの格納先 = ";
const std::string_view kDebugDefaultFile = "** DEBUG ** : デフォルト出力先ファイル = ";
const std::string_view kDebugAbsent = "??";

const std::string_view kSummaryInputCount = "入力データ件数 : ";
const std::string_view kSummaryCountUnit = " 件";
const std::string_view kSummaryHeading = "出力データ件数";
const std::string_view kSummaryItemPrefix = " - ";
const std::string_view kSummaryItemSeparator = " : ";
const std::string_view kSummaryOtherLabel = "上記以外";

const std::string_view kStartBanner = "\r\n-------- Start Rowdispatch --------\r\n";
const std::string_view kEndBanner = "\r\n-------- E N D Rowdispatch --------\r\n";
const std::string_view kVersionLines[6] = {
    "",
    "-------- Version of Rowdispatch --------",
    "  Version 1.01.02",
    "  Build   2003.04.15",
    "  **** Tessaline ****",
    "----------------------------------------",
};

const std::string_view kIoFailureKind = "EInOutError";
const std::string_view kOutOfMemoryKind = "EOutOfMemory";
const std::string_view kListIndexKind = "EStringListError";
const std::string_view kGeneralFailureKind = "Exception";
const std::string_view kInterruptKind = "EControlC";
const std::string_view kOutOfMemoryMessage = "メモリが足りません";
const std::string_view kListIndexMessage = "リストのインデックスが範囲を超えています (%d)";
const std::string_view kMakeDirectoryMessage = "ディレクトリを作成できません";
const std::string_view kInterruptMessage = "処理が中断されました";
const std::string_view kIoMessageOther = "I/O エラー (%d)";

const IoMessage kIoMessages[7] = {
    {2, "ファイルが見つかりません"},
    {3, "不正なファイル名です"},
    {4, "オープンしたファイルが多すぎます"},
    {5, "ファイルへのアクセスが拒否されました"},
    {100, "ファイルの末尾以降を読み込みました"},
    {101, "ディスクがいっぱいです"},
    {106, "入力値が数値ではありません"},
};

const std::string_view kReportFormat = "%sがモジュール %s の %p で発生しました。\n%s%s";
const std::string_view kLastResortTemplate = "Runtime error     at 00000000";
