#include "frame/template_store.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "diagnostics/debug_window.h"
#include "frame/load_template.h"
#include "platform/win/debug_socket.h"
#include "platform/win/temp_folder_test_util.h"

namespace sdx {
namespace {

class TemplateStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    folder_ = scratch_.path();
    // The web log and the debug window of this test stay inside its folder.
    std::ofstream(folder_ + "/evhub.ini") << "[evhub]\npath=" << folder_ << "/\n";
    setenv("SDX_CONFIG_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    SetWebLoggerOn(0);
    unsetenv("SDX_CONFIG_DIR");
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ + "/" + name, std::ios::binary) << text;
  }

  testing::TempFolder scratch_{"templates"};
  std::string folder_;
};

TEST_F(TemplateStoreTest, FolderSetting) {
  struct Case {
    const char* setting;
    const char* folder;
  };
  const Case kCases[] = {
      {"/srv/site/", "/srv/site"},   {"/srv/site\\", "/srv/site"},  {"/srv/site", "/srv/site"},
      {"/srv/site//", "/srv/site/"}, {"/srv/site/\\", "/srv/site"}, {"/", ""},
  };
  for (const Case& c : kCases) EXPECT_EQ(TemplateFolder(c.setting), c.folder) << c.setting;
}

TEST_F(TemplateStoreTest, LoadsCutsAndKeepsMissingOnesEmpty) {
  Write("logon.html", "<!-- any text ***-->\n<p>sign on</p><!-- keep ***--> stays");
  Write("eventFilter.html", std::string("<p>before\0after</p>", 19));
  Write("escalationlist.html", "<!-- cut after the zero byte ***-->");
  Write("escalationDetails.html", "no marker at all");
  std::filesystem::create_directory(folder_ + "/menu.html");  // opens, but cannot be read

  std::mutex server_lock;
  TemplateStore store(&server_lock);
  store.LoadTemplates(TemplateFolder(folder_ + "/"));
  EXPECT_EQ(store.GetTemplateText(1), "\n<p>sign on</p><!-- keep ***--> stays");
  EXPECT_EQ(store.GetTemplateText(2), "");
  EXPECT_EQ(store.GetTemplateText(3), "<p>before");
  EXPECT_EQ(store.GetTemplateText(4), "");
  EXPECT_EQ(store.GetTemplateText(5), "no marker at all");
  EXPECT_EQ(store.GetTemplateText(6), "");
  store.Clear();
  EXPECT_EQ(store.GetTemplateText(1), "");
}

TEST_F(TemplateStoreTest, MissingFolderAndDebugWindowLines) {
  int viewer = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, win::DebugSocketPath().c_str(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(bind(viewer, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  SetWebLoggerOn(1);

  std::mutex server_lock;
  TemplateStore store(&server_lock);
  store.LoadTemplates(folder_ + "/no-such-folder");
  for (uint16_t number = 1; number <= 5; ++number) EXPECT_EQ(store.GetTemplateText(number), "");

  std::vector<std::string> records;
  char buffer[4096];
  pollfd ready{viewer, POLLIN, 0};
  while (records.size() < 10 && poll(&ready, 1, 10000) == 1) {
    ssize_t got = recv(viewer, buffer, sizeof(buffer), 0);
    if (got <= 0) break;
    records.emplace_back(buffer, static_cast<size_t>(got));
  }
  close(viewer);
  ASSERT_EQ(records.size(), 10u);
  EXPECT_NE(records[0].find("\r\n" + folder_ + "/no-such-folder/logon.html\r\n"),
            std::string::npos);
  EXPECT_NE(records[1].find("\r\nError opening logon.html\r\n"), std::string::npos);
  EXPECT_NE(records[9].find("\r\nError opening escalationDetails.html\r\n"), std::string::npos);
}

}  // namespace
}  // namespace sdx
