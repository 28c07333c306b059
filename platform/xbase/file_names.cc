#include "platform/xbase/file_names.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace sdx::xbase {

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

size_t FileNameStart(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::string ResolveFileName(const std::string& path) {
  if (Exists(path)) return path;
  const size_t name_start = FileNameStart(path);
  const std::string folder = name_start == 0 ? "." : path.substr(0, name_start);
  const std::string name = path.substr(name_start);
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string candidate = it->path().filename().string();
    if (candidate.size() == name.size() && ::strcasecmp(candidate.c_str(), name.c_str()) == 0) {
      return path.substr(0, name_start) + candidate;
    }
  }
  return path;
}

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  if (path.find('.', FileNameStart(path)) != std::string::npos) return path;
  return path + "." + extension;
}

std::string CompanionFileName(const std::string& table_path, const std::string& extension) {
  const size_t dot = table_path.rfind('.');
  const bool has_extension = dot != std::string::npos && dot >= FileNameStart(table_path);
  const std::string base = has_extension ? table_path.substr(0, dot) : table_path;
  std::string ext = extension;
  if (has_extension && dot + 1 < table_path.size() &&
      std::isupper(static_cast<unsigned char>(table_path[dot + 1]))) {
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  }
  return ResolveFileName(base + "." + ext);
}

}  // namespace sdx::xbase
