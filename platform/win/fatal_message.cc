#include "platform/win/fatal_message.h"

#include <syslog.h>
#include <unistd.h>

#include <string>

namespace sdx::win {

void FatalMessage(std::string_view caption, std::string_view text) {
  std::string line(caption);
  line += ": ";
  line += text;
  std::string err_line = line + "\n";
  // write(2) rather than stdio: nothing buffered may be lost by the _exit below.
  [[maybe_unused]] ssize_t written = write(STDERR_FILENO, err_line.data(), err_line.size());
  syslog(LOG_USER | LOG_CRIT, "%s", line.c_str());
  _exit(1);
}

}  // namespace sdx::win
