#include "diagnostics/debug_window.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/win/debug_socket.h"
#include "platform/win/temp_folder_test_util.h"

namespace sdx {
namespace {

// Plays sdx-debugview: binds the socket and hands out the datagrams in order.
class TestListener {
 public:
  explicit TestListener(const std::string& path) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  }
  ~TestListener() { close(fd_); }
  bool bound() const { return bound_; }

  // The next datagram, waiting generously; "(none)" when none came.
  std::string Receive() {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, 10000) != 1) return "(none)";
    char buffer[70000];
    ssize_t got = recv(fd_, buffer, sizeof(buffer), 0);
    return got < 0 ? "(error)" : std::string(buffer, static_cast<size_t>(got));
  }

 private:
  int fd_ = -1;
  bool bound_ = false;
};

class DebugWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    setenv("SDX_CONFIG_DIR", scratch_.path().c_str(), 1);
  }
  void TearDown() override {
    SetWebLoggerOn(0);
    unsetenv("SDX_CONFIG_DIR");
  }
  testing::TempFolder scratch_{"dbgwin"};
};

TEST_F(DebugWindowTest, RecordFormatInTheCLocale) {
  std::tm when{};
  when.tm_year = 126;
  when.tm_mon = 11;
  when.tm_mday = 11;
  when.tm_hour = 9;
  when.tm_min = 5;
  EXPECT_EQ(FormatDebugWindowRecord(when, "Error opening menu.html"),
            "12/11/26 0905\r\nError opening menu.html\r\n" + std::string(41, '*') + "\r\n");
}

TEST_F(DebugWindowTest, SendsOnlyWhileLoggerIsOn) {
  TestListener viewer(win::DebugSocketPath());
  ASSERT_TRUE(viewer.bound());

  EXPECT_EQ(WebLoggerOn(), 0);
  WriteDebugWindow("dropped while off");
  // Debugger output does not depend on the setting; it also shows that nothing came before it.
  WriteDebuggerOutput("trace line");
  EXPECT_EQ(viewer.Receive(), "Dtrace line");

  SetWebLoggerOn(1);
  WriteDebugWindow("/srv/templates/logon.html");
  std::string record = viewer.Receive();
  ASSERT_GT(record.size(), 1u);
  EXPECT_EQ(record[0], 'W');
  EXPECT_NE(record.find("\r\n/srv/templates/logon.html\r\n" + std::string(41, '*') + "\r\n"),
            std::string::npos);
}

TEST_F(DebugWindowTest, NoViewerDropsAtOnce) {
  SetWebLoggerOn(1);
  WriteDebugWindow("nobody listens");
  EXPECT_FALSE(std::filesystem::exists(win::DebugSocketPath()));
  {
    TestListener gone(win::DebugSocketPath());
    ASSERT_TRUE(gone.bound());
  }
  // A socket file left behind by a viewer that ended: refused, not waited on.
  EXPECT_FALSE(
      win::SendDebugRecord(win::DebugSocketPath(), win::DebugRecordKind::kDebugWindow, "stale"));
  WriteDebugWindow("still fine");
}

TEST_F(DebugWindowTest, LongRecordIsCutToOneDatagram) {
  TestListener viewer(win::DebugSocketPath());
  ASSERT_TRUE(viewer.bound());
  WriteDebuggerOutput(std::string(100000, 'x'));
  EXPECT_EQ(viewer.Receive().size(), win::kMaxDebugRecord + 1);
}

}  // namespace
}  // namespace sdx
