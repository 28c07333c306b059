// The last word of a process that must not go on: the platform's service-notification message
// box becomes a line on standard error and in the system log. Used by the event log table when
// it finds a LogAlarm table it must not touch.
#pragma once

#include <string_view>

namespace sdx::win {

// Writes "caption: text" to standard error and the system log, then ends the process at once
// with exit code 1, without running destructors or exit handlers.
[[noreturn]] void FatalMessage(std::string_view caption, std::string_view text);

}  // namespace sdx::win
