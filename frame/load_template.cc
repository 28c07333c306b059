#include "frame/load_template.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "diagnostics/debug_window.h"

namespace sdx {
namespace {

constexpr std::string_view kCommentEnd = "***-->";

bool ReadFile(const std::string& path, std::string* text) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;  // a folder opens but does not read
    if (got <= 0) break;
    text->append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return ok;
}

}  // namespace

std::string TemplateFolder(std::string_view setting) {
  if (!setting.empty() && setting.back() == '\\') setting.remove_suffix(1);
  if (!setting.empty() && setting.back() == '/') setting.remove_suffix(1);
  return std::string(setting);
}

bool LoadTemplate(std::string_view folder, std::string_view file_name, std::string* text) {
  text->clear();
  std::string path = std::string(folder) + "/" + std::string(file_name);
  WriteDebugWindow(path);
  if (!ReadFile(path, text)) {
    text->clear();
    WriteDebugWindow("Error opening " + std::string(file_name));
    return false;
  }
  size_t zero = text->find('\0');
  if (zero != std::string::npos) text->resize(zero);
  size_t marker = text->find(kCommentEnd);
  if (marker != std::string::npos) text->erase(0, marker + kCommentEnd.size());
  return true;
}

}  // namespace sdx
