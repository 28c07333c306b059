#include "platform/win/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace sdx::win {

bool ReadWholeFile(const std::string& path, std::string* text) {
  text->clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    text->append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return ok;
}

}  // namespace sdx::win
