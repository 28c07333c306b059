// Helpers of the engine's tests: a temporary folder removed with its contents, copies of the
// shared fixtures into it, and whole-file reads. Header-only, so that it stays out of the
// engine's library.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace sdx::xbase::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/xbase-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The shared fixtures folder of `set` ("xbase-golden", "vfp-northwind").
inline std::string FixtureDir(const std::string& set) {
  return std::string(SDX_SHARED_DIR) + "/fixtures/" + set;
}

// Copies every file of a fixture set into `dir`, writable (the fixtures are read-only).
inline void CopyFixtures(const std::string& set, const std::string& dir) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(FixtureDir(set), ec)) {
    const auto target = std::filesystem::path(dir) / entry.path().filename();
    std::filesystem::copy_file(entry.path(), target, ec);
    std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
  }
}

inline std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace sdx::xbase::testing
