#include "platform/misc/file_version.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace sdx::misc {
namespace {

// The marker and this build's version, kept in every file that links func12 (the extension
// does), so that the file itself says which version it is. The scanner's needle is its start.
[[gnu::used]] constexpr char kEmbeddedVersion[] = "SDXVERSION:" SDX_VERSION;
static_assert(std::string_view(kEmbeddedVersion).starts_with(kVersionMarker));

bool IsVersionChar(unsigned char c) {
  return std::isalnum(c) || (c != 0 && std::strchr(".-+_", c) != nullptr);
}

// The version text behind the first marker that has one; a marker with nothing behind it is
// passed over.
std::string FindVersion(const std::string& bytes) {
  const std::string_view marker(kEmbeddedVersion, sizeof kVersionMarker - 1);
  for (size_t at = bytes.find(marker); at != std::string::npos; at = bytes.find(marker, at + 1)) {
    size_t end = at + marker.size();
    while (end < bytes.size() && IsVersionChar(static_cast<unsigned char>(bytes[end]))) ++end;
    if (end > at + marker.size()) return bytes.substr(at + marker.size(), end - at - marker.size());
  }
  return {};
}

}  // namespace

void func12(const char* path, char* out, unsigned size, int) {
  if (out == nullptr || size == 0) return;
  out[0] = '\0';
  if (path == nullptr) return;
  std::ifstream file(path, std::ios::binary);
  if (!file) return;
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string version = FindVersion(bytes);
  const size_t length = std::min<size_t>(version.size(), size - 1);
  std::memcpy(out, version.data(), length);
  out[length] = '\0';
}

}  // namespace sdx::misc
