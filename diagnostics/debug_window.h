// The debug window and the debugger output: records sent to the sdx-debugview viewer of the
// configuration folder while one listens, dropped at once otherwise. The server object sets
// WebLoggerOn from its settings; pages and start-up write through these calls.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace sdx {

// Nonzero lets WriteDebugWindow send; 0 until the server object has read its settings.
void SetWebLoggerOn(int value);
int WebLoggerOn();

// The record: the local date and time as "%x %H%M\r\n" in the C locale, the text and "\r\n",
// then 41 '*' and "\r\n".
std::string FormatDebugWindowRecord(const std::tm& local_time, std::string_view text);

// Sends one record while WebLoggerOn() is nonzero; never fails towards the caller.
void WriteDebugWindow(std::string_view text);

// The system debugger output, which two pages use for trace lines: the text goes as it is to
// the same viewer, marked as debugger output, whatever WebLoggerOn says (as debugger output
// does not depend on that setting either).
void WriteDebuggerOutput(std::string_view text);

}  // namespace sdx
