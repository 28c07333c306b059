// The `xbase` tool on the golden tables and on bad input: what it prints and its exit codes.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Result {
  int exit_code = -1;
  std::string out;
};

Result RunTool(const std::string& args) {
  Result r;
  FILE* pipe = ::popen((std::string(XBASE_TOOL) + " " + args + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) r.out.append(buffer, n);
  const int status = ::pclose(pipe);
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Golden(const std::string& name) {
  return std::string(SDX_SHARED_DIR) + "/fixtures/xbase-golden/" + name;
}

TEST(XbaseToolTest, InfoShowsHeaderStampAndWideFields) {
  const Result r = RunTool("info " + Golden("LogMsgs.dbf"));
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("version: 0x30 (Visual FoxPro)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("records: 30\n"), std::string::npos);
  EXPECT_NE(r.out.find("record length: 520\n"), std::string::npos);
  EXPECT_NE(r.out.find("flags: 0x01 (structural-index)\n"), std::string::npos);
  EXPECT_NE(r.out.find("version stamp: 0\n"), std::string::npos);
  EXPECT_NE(r.out.find("TEXT          C   511   0      9"), std::string::npos) << r.out;
}

TEST(XbaseToolTest, DumpCsvHasExactDoublesDeletionsAndMemos) {
  const Result r = RunTool("dump " + Golden("LogResponse.dbf") + " --csv --count 2");
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "DELETED,LOG_ID,EVENT_ID,PROFILE_ID,RSP_TIME,RSP_TEXT\n"
            "0,1003,501,10,1700000061,Acknowledged\n"
            "0,1006,502,20,1700000122,\"On my way\r\nETA 10 min\"\n");
  const Result all = RunTool("dump " + Golden("Personnel.dbf") + " --csv");
  ASSERT_EQ(all.exit_code, 0);
  EXPECT_NE(all.out.find("\n0,12.75,Gina Okafor,"), std::string::npos) << all.out;
  const Result from = RunTool("dump " + Golden("Personnel.dbf") + " --from 30");
  EXPECT_EQ(from.out.substr(0, 4), "#30 ");
}

TEST(XbaseToolTest, ExitCodesTellUsageFromBadFiles) {
  EXPECT_EQ(RunTool("").exit_code, 2);
  EXPECT_EQ(RunTool("frobnicate x").exit_code, 2);
  EXPECT_EQ(RunTool("dump").exit_code, 2);
  EXPECT_EQ(RunTool("dump x.dbf --count").exit_code, 2);
  EXPECT_EQ(RunTool("info").exit_code, 2);
  EXPECT_EQ(RunTool("info /nonexistent/table.dbf").exit_code, 1);
  const std::string cut = ::testing::TempDir() + "/cut.dbf";
  {
    std::ifstream in(Golden("Alarms.dbf"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, 100);
  }
  EXPECT_EQ(RunTool("dump " + cut).exit_code, 1);
  EXPECT_EQ(RunTool("help info").exit_code, 0);
  EXPECT_NE(RunTool("help info").out.find("bytes 12..15"), std::string::npos);
  std::filesystem::remove(cut);
}

}  // namespace
