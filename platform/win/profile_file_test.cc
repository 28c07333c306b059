#include "platform/win/profile_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/temp_folder_test_util.h"

namespace sdx::win {
namespace {

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    folder_ = scratch_.path();
    path_ = folder_ + "/settings.ini";
  }

  void WriteFile(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadFile() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  testing::TempFolder scratch_{"profile"};
  std::string folder_;
  std::string path_;
};

TEST_F(ProfileFileTest, ReadsWithPlatformSemantics) {
  WriteFile(
      "top=before any section\n"
      "; a comment=not a key\n"
      "[Sdx24]\r\n"
      "  Path =  /data/sendrix  \r\n"
      "WebLoggerOn=1\r\n"
      "webloggeron=2\r\n"
      "Empty=\r\n"
      "  [ Filters ]  \n"
      "Night shift=ProfileIds=1,4&EventAmount=25\n"
      "noequals\n"
      "[sdx24]\n"
      "WebSessionMaxMin=30\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case kCases[] = {
      {"Sdx24", "path", "/data/sendrix"},        // trimmed, key in any case
      {"SDX24", "PATH", "/data/sendrix"},        // section in any case
      {"Sdx24", "WebLoggerOn", "1"},             // the first matching key wins
      {"Sdx24", "Empty", ""},                    // present but empty is not the default
      {"Sdx24", "WebSessionMaxMin", "default"},  // only the first section of a name counts
      {"Sdx24", "top", "default"},               // keys before any section belong to none
      {"filters", "night shift", "ProfileIds=1,4&EventAmount=25"},  // value keeps its '='
      {"Filters", "noequals", "default"},
      {"Missing", "path", "default"},
      {"Sdx24", "; a comment", "default"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "default", path_), c.expected)
        << c.section << "/" << c.key;
  }
  EXPECT_EQ(GetPrivateProfileInt("Sdx24", "WebLoggerOn", 7, path_), 1);
  EXPECT_EQ(GetPrivateProfileInt("Sdx24", "Missing", 7, path_), 7);
  EXPECT_EQ(GetPrivateProfileInt("Sdx24", "Path", 7, path_), 0);

  std::vector<ProfileEntry> entries = GetPrivateProfileSection("FILTERS", path_);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].key, "Night shift");
  EXPECT_EQ(entries[0].value, "ProfileIds=1,4&EventAmount=25");
  EXPECT_EQ(entries[1].key, "noequals");
  EXPECT_EQ(entries[1].value, "");
}

TEST_F(ProfileFileTest, MissingFileReadsAsDefaults) {
  EXPECT_EQ(GetPrivateProfileString("Sdx24", "path", "/var/lib", path_), "/var/lib");
  EXPECT_EQ(GetPrivateProfileInt("Sdx24", "WebSessionMaxMin", 10, path_), 10);
  EXPECT_TRUE(GetPrivateProfileSection("Filters", path_).empty());
  EXPECT_TRUE(DeletePrivateProfileKey("Filters", "x", path_));
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(ProfileFileTest, WritesKeepEverythingElse) {
  WriteFile(
      "; settings of the web viewer\r\n"
      "[Sdx24]\r\n"
      "path=/data\r\n"
      "\r\n"
      "[Filters]\r\n"
      "Day=a\r\n"
      "; kept comment\r\n"
      "\r\n"
      "[alice]\r\n"
      "default=Day\r\n");
  ASSERT_TRUE(WritePrivateProfileString("filters", "DAY", "b", path_));      // replace
  ASSERT_TRUE(WritePrivateProfileString("Filters", "Night", " c ", path_));  // add to section
  ASSERT_TRUE(WritePrivateProfileString("bob", "default", "Night", path_));  // new section
  ASSERT_TRUE(DeletePrivateProfileKey("ALICE", "Default", path_));
  ASSERT_TRUE(DeletePrivateProfileKey("Filters", "missing", path_));
  EXPECT_EQ(ReadFile(),
            "; settings of the web viewer\r\n"
            "[Sdx24]\r\n"
            "path=/data\r\n"
            "\r\n"
            "[Filters]\r\n"
            "Day=b\r\n"
            "; kept comment\r\n"
            "Night=c\r\n"
            "\r\n"
            "[alice]\r\n"
            "\r\n"
            "[bob]\r\n"
            "default=Night\r\n");
}

TEST_F(ProfileFileTest, WriteCreatesTheFile) {
  ASSERT_TRUE(WritePrivateProfileString("Filters", "Day", "ProfileIds=0", path_));
  EXPECT_EQ(ReadFile(), "[Filters]\nDay=ProfileIds=0\n");
  EXPECT_FALSE(WritePrivateProfileString("Filters", "Day", "x", folder_ + "/no/such/file.ini"));
}

TEST_F(ProfileFileTest, NamesWithBlanksAreReplacedNotRepeated) {
  ASSERT_TRUE(WritePrivateProfileString(" Filters ", " Day ", "a", path_));
  ASSERT_TRUE(WritePrivateProfileString(" Filters ", " Day ", "b", path_));
  EXPECT_EQ(ReadFile(), "[Filters]\nDay=b\n");
}

// Writers in threads and in another process, each adding keys of its own: every key must be in
// the file at the end, which a read-modify-write without the lock would not give.
TEST_F(ProfileFileTest, ConcurrentWritersLoseNothing) {
  constexpr int kKeysPerWriter = 40;
  auto write_keys = [this](const std::string& writer) {
    for (int i = 0; i < kKeysPerWriter; ++i) {
      if (!WritePrivateProfileString("Filters", writer + "-" + std::to_string(i), writer, path_)) {
        return false;
      }
    }
    return true;
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(write_keys("process") ? 0 : 1);
  std::vector<std::thread> threads;
  std::vector<char> results(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] { results[t] = write_keys("thread" + std::to_string(t)); });
  }
  for (std::thread& thread : threads) thread.join();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (char ok : results) EXPECT_TRUE(ok);

  std::vector<ProfileEntry> entries = GetPrivateProfileSection("Filters", path_);
  EXPECT_EQ(entries.size(), 5u * kKeysPerWriter);
  for (const char* writer : {"process", "thread0", "thread3"}) {
    EXPECT_EQ(GetPrivateProfileString("Filters", std::string(writer) + "-39", "", path_), writer);
  }
}

}  // namespace
}  // namespace sdx::win
