#include "diagnostics/web_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace sdx {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class WebLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The log folder is lower-cased, so the test folder must be lower case to be found again.
    folder_ = SDX_BINARY_DIR "/test-tmp/weblog-" + std::to_string(getpid());
    std::string lower = folder_;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    if (lower != folder_) GTEST_SKIP() << "the build folder's path has capitals";
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    setenv("SDX_CONFIG_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("SDX_CONFIG_DIR");
    std::filesystem::remove_all(folder_);
  }
  void SetLogPath(const std::string& value) {
    std::ofstream(folder_ + "/evhub.ini")
        << "[Sdx24]\npath=/elsewhere\n[EVHUB]\nPath=" << value << "\n";
  }

  std::string folder_;
};

TEST_F(WebLogTest, FolderRule) {
  struct Case {
    const char* path;  // nullptr: no evhub.ini at all
    const char* folder;
  };
  const Case kCases[] = {
      {nullptr, "/var/lib/sendrix/Logs"},
      {"/Data/Sendrix/EvHub/", "/data/sendrix/Logs"},
      {"/Data", "/dataLogs"},
      {"/srv/evhub/evhub/x", "/srv/Logs"},
      {"", "Logs"},
  };
  for (const Case& c : kCases) {
    if (c.path != nullptr) SetLogPath(c.path);
    EXPECT_EQ(WebLogFolder(), c.folder) << (c.path ? c.path : "(no file)");
  }
}

TEST_F(WebLogTest, RecordFormatAndCut) {
  const std::string stamp = "Fri Dec 11 10:00:35 2026\n";
  const std::string stars(60, '*');
  EXPECT_EQ(FormatWebLogRecord(stamp, "Starting..."),
            "\n" + stars + "\nTime: Fri Dec 11 10:00:35 2026\n\nStarting...\n");
  std::string record = FormatWebLogRecord(stamp, std::string(2000, 'x'));
  EXPECT_EQ(record.size(), 1023u);
  EXPECT_EQ(record.back(), 'x');
}

TEST_F(WebLogTest, AppendsPerThreadFiles) {
  SetLogPath(folder_ + "/EvHub/");
  WriteWebLog("Starting...");
  WriteWebLog("Done Reading in Templates");
  std::string logs = folder_ + "/Logs";
  EXPECT_EQ(std::filesystem::status(logs).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::all);
  std::string own = ReadFile(logs + "/Web-" + std::to_string(gettid()) + ".txt");
  const std::string head = "\n" + std::string(60, '*') + "\nTime: ";
  ASSERT_EQ(own.find(head), 0u);
  size_t second = own.find(head, 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_NE(own.find("\n\nStarting...\n"), std::string::npos);
  EXPECT_TRUE(own.ends_with("\n\nDone Reading in Templates\n"));

  pid_t other_tid = 0;
  std::thread([&] {
    other_tid = gettid();
    WriteWebLog("from another thread");
  }).join();
  std::string other = ReadFile(logs + "/Web-" + std::to_string(other_tid) + ".txt");
  EXPECT_NE(other.find("from another thread"), std::string::npos);
  EXPECT_EQ(own.find("from another thread"), std::string::npos);
}

TEST_F(WebLogTest, UnwritableFolderDropsTheRecord) {
  std::ofstream(folder_ + "/plainfile") << "not a folder";
  SetLogPath(folder_ + "/plainfile/");
  WriteWebLog("lost");
  EXPECT_EQ(ReadFile(folder_ + "/plainfile"), "not a folder");
  EXPECT_FALSE(
      std::filesystem::exists(folder_ + "/plainfileLogs/Web-" + std::to_string(gettid()) + ".txt"));
}

}  // namespace
}  // namespace sdx
