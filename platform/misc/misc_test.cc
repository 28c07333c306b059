#include <stdlib.h>

#include <fstream>
#include <string>

#include "gtest/gtest.h"
#include "platform/misc/evhub_ini.h"
#include "platform/misc/file_version.h"
#include "platform/win/temp_folder_test_util.h"

namespace sdx::misc {
namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(EvhubIniTest, EnvironmentThenConfigFolder) {
  setenv("SDX_EVHUB_INI", "/somewhere/evhub.ini", 1);
  EXPECT_EQ(EVHUB_INI(), "/somewhere/evhub.ini");
  unsetenv("SDX_EVHUB_INI");
  setenv("SDX_CONFIG_DIR", "/cfg/", 1);
  EXPECT_EQ(EVHUB_INI(), "/cfg/evhub.ini");
  unsetenv("SDX_CONFIG_DIR");
}

TEST(Func12Test, FindsTheMarkedVersion) {
  sdx::testing::TempFolder folder("misc");
  struct Case {
    std::string bytes;
    unsigned size;
    std::string expected;
  };
  const std::string marker = kVersionMarker;
  const Case cases[] = {
      {std::string("\x7f"
                   "ELF\0\0junk",
                   10) +
           marker + "2.4.1" + std::string("\0tail", 5),
       80, "2.4.1"},
      {marker + std::string("\0", 1) + "x" + marker + "3.0", 80, "3.0"},  // a bare needle first
      {marker + "10.20.30", 4, "10."},
      {"no marker here", 80, ""},
      {marker, 80, ""},
  };
  for (const auto& c : cases) {
    const std::string path = folder.path() + "/file.so";
    WriteBytes(path, c.bytes);
    char out[80];
    std::fill(std::begin(out), std::end(out), 'z');
    func12(path.c_str(), out, c.size, 0);
    EXPECT_EQ(std::string(out), c.expected);
  }
}

TEST(Func12Test, UnreadableFileAndZeroSize) {
  char out[8] = "abc";
  func12("/nonexistent/sdxremote.so", out, sizeof out, 0);
  EXPECT_EQ(out[0], '\0');
  char untouched = 'q';
  func12("/nonexistent/sdxremote.so", &untouched, 0, 0);
  EXPECT_EQ(untouched, 'q');
}

TEST(Func12Test, ThisBinaryCarriesItsVersion) {
  char out[80];
  func12("/proc/self/exe", out, sizeof out, 0);
  EXPECT_STREQ(out, SDX_VERSION);
}

}  // namespace
}  // namespace sdx::misc
