// A temporary folder for one test, removed with everything in it when the test ends. Used by
// the menu's tests that copy files and start programs.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace sdx::discmenu {

class TestTempDir {
 public:
  TestTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "discmenu-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  TestTempDir(const TestTempDir&) = delete;
  TestTempDir& operator=(const TestTempDir&) = delete;
  ~TestTempDir() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }

  const std::filesystem::path& path() const { return path_; }

  // Writes a file below the folder, making its folders; `executable` makes it a program.
  std::filesystem::path Write(const std::string& relative, const std::string& text,
                              bool executable = false) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    if (executable) {
      std::filesystem::permissions(file, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add);
    }
    return file;
  }

  static std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
};

}  // namespace sdx::discmenu
