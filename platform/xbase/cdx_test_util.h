// Helpers shared by the index tests: the fixture listings, hex keys and temporary folders.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

namespace sdx::xbase::testing {

inline std::string FixturePath(const std::string& relative) {
  return std::string(SDX_SHARED_DIR) + "/fixtures/" + relative;
}

inline nlohmann::json LoadListing(const std::string& folder) {
  std::ifstream in(FixturePath(folder + "/listing.json"));
  return nlohmann::json::parse(in);
}

inline std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

inline std::string ToHex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

// A fresh folder inside the build tree, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string pattern = std::string(SDX_BINARY_DIR) + "/cdx-test-XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace sdx::xbase::testing
