#pragma once
// Every text the program prints. The texts live in messages.inc, written in
// UTF-8; the program holds them as code page 932 bytes (messages.cpp) and
// as UTF-8 (messages_utf8.cpp), and speaks the code page of the data: the
// rule file's CodePage switches them. Nothing else holds message text. A
// leaf: it includes nothing of the program, and any module may include it.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

// Every line the program writes, to the console or a destination, ends so.
inline constexpr std::string_view kLineEnd = "\r\n";

// The texts, in the code page in use (932 until UseUtf8Messages says
// otherwise).
#define MESSAGE(name, text) extern std::string_view name;
#define IO_MESSAGE(code, text)
#include "messages/messages.inc"
#undef MESSAGE
#undef IO_MESSAGE

// kListIndexMessage and kIoMessageOther hold one %d; kReportFormat is
// "%sがモジュール %s の %p で発生しました。\n%s%s".

struct IoMessage {
    int code;
    std::string_view text;
};
inline constexpr size_t kIoMessageCount = 7;
extern IoMessage kIoMessages[kIoMessageCount];

// ASCII only: the same in every code page.
extern const std::string_view kVersionLines[6];

// Switches every text to UTF-8, or back to code page 932 (the code-page
// module does, as the run's code page changes).
void UseUtf8Messages(bool utf8);

// The UTF-8 twins, in the order of messages.inc (messages_utf8.cpp).
extern const std::string_view kUtf8Texts[];
extern const std::string_view kUtf8IoTexts[];
