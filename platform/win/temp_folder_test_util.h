// A scratch folder for one test, inside the build tree, removed with everything in it when the
// test ends. Shared by the tests of the platform stand-ins, the diagnostics and the frame.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace sdx::testing {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix) {
    std::filesystem::create_directories(SDX_BINARY_DIR "/test-tmp");
    std::string pattern = SDX_BINARY_DIR "/test-tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Empty when the folder could not be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace sdx::testing
