#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/win/named_event.h"

namespace sdx::win {
namespace {

struct ToolRun {
  int exit_code;
  std::string output;
};

ToolRun RunTool(const std::string& arguments) {
  const std::string command = std::string(SDX_EVENT_TOOL) + " " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ToolRun run{-1, ""};
  if (pipe == nullptr) {
    return run;
  }
  char buffer[256];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
    run.output.append(buffer, n);
  }
  const int status = pclose(pipe);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class SdxEventToolTest : public ::testing::Test {
 protected:
  ~SdxEventToolTest() override { SharedObject::Remove(name_); }
  const std::string name_ = "SdxEventToolTest_" + std::to_string(getpid());
};

TEST_F(SdxEventToolTest, SetResetAndStateOfAnEvent) {
  EXPECT_EQ(RunTool("state " + name_).exit_code, 1);

  ASSERT_EQ(RunTool("reset " + name_).exit_code, 0);
  NamedEvent event;
  ASSERT_EQ(event.Open(name_), 0);
  EXPECT_TRUE(event.manual_reset());
  EXPECT_FALSE(event.IsSet());
  EXPECT_EQ(RunTool("state " + name_).output, "reset\n");

  ASSERT_EQ(RunTool("set " + name_).exit_code, 0);
  EXPECT_TRUE(event.IsSet());
  const ToolRun state = RunTool("state " + name_);
  EXPECT_EQ(state.exit_code, 0);
  EXPECT_EQ(state.output, "set\n");

  EXPECT_TRUE(event.Reset());
  EXPECT_EQ(RunTool("state " + name_).output, "reset\n");
}

TEST_F(SdxEventToolTest, AnExistingEventKeepsItsResetType) {
  NamedEvent event;
  ASSERT_EQ(event.CreateOrOpen(name_, EventReset::kAuto, false, ObjectSecurity::kOpen), 0);
  ASSERT_EQ(RunTool("set " + name_).exit_code, 0);
  EXPECT_FALSE(event.manual_reset());
  EXPECT_EQ(event.Wait(std::chrono::milliseconds(0)), WaitResult::kSignaled);
  EXPECT_FALSE(event.IsSet());
}

TEST_F(SdxEventToolTest, HelpAndBadUse) {
  const ToolRun help = RunTool("--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.output.find("usage: sdx-event set|reset|state NAME"), std::string::npos);
  EXPECT_EQ(RunTool("").exit_code, 2);
  EXPECT_EQ(RunTool("toggle " + name_).exit_code, 2);
  EXPECT_EQ(RunTool("set ''").exit_code, 1);
}

}  // namespace
}  // namespace sdx::win
