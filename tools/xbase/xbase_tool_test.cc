// The `xbase` tool on the golden tables and on bad input: what it prints and its exit codes.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// A copy of a golden table and its index in a fresh folder, for the commands that write.
std::string CopyGolden(const std::string& name) {
  const std::string dir = ::testing::TempDir() + "/xbase-index-" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  for (const char* extension : {".dbf", ".cdx"}) {
    const std::string target = dir + "/" + name + extension;
    std::filesystem::copy_file(Golden(name + extension), target,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
  }
  return dir + "/" + name;
}

TEST(XbaseToolTest, IndexCommandsListWalkCheckAndRepair) {
  const std::string table = CopyGolden("LogAlarm");
  const Result tags = RunTool("tags " + table);
  ASSERT_EQ(tags.exit_code, 0);
  EXPECT_EQ(std::count(tags.out.begin(), tags.out.end(), '\n'), 12);
  EXPECT_NE(tags.out.find("T_CLOSE\tSTATUS_ID\t(STATUS_ID > 201) .AND. (STATUS_ID < 212)\t-\t"
                          "ascending\t8\n"),
            std::string::npos)
      << tags.out;
  EXPECT_NE(tags.out.find("T_TIMED\tTIME\t\t-\tdescending\t8\n"), std::string::npos);

  // The descending tag from its highest key; equal keys from the highest record number.
  const Result walk = RunTool("walk " + table + " t_timed");
  ASSERT_EQ(walk.exit_code, 0);
  EXPECT_EQ(walk.out.substr(0, 42), "150\tc1d95501a2400000\n149\tc1d95501a2400000\n");
  EXPECT_EQ(std::count(walk.out.begin(), walk.out.end(), '\n'), 150);
  EXPECT_EQ(RunTool("walk " + table + " NO_TAG").exit_code, 1);

  EXPECT_EQ(RunTool("stamp " + table).out, "0\n");
  EXPECT_EQ(RunTool("stamp " + table + " 4").exit_code, 0);
  EXPECT_EQ(RunTool("stamp " + table).out, "4\n");
  EXPECT_NE(RunTool("info " + table).out.find("version stamp: 4\n"), std::string::npos);
  EXPECT_EQ(RunTool("stamp " + table + " -1").exit_code, 2);

  EXPECT_EQ(RunTool("check " + table).exit_code, 0);
  // A LOG_ID changed behind the index's back: the check names the tag, reindex repairs it.
  {
    std::fstream file(table + ".dbf", std::ios::in | std::ios::out | std::ios::binary);
    char header[12];
    file.read(header, sizeof header);
    const int header_length =
        static_cast<unsigned char>(header[8]) | (static_cast<unsigned char>(header[9]) << 8);
    file.seekp(header_length + 1 + 7);
    file.put('\x55');
  }
  const std::string check = std::string(XBASE_TOOL) + " check " + table + " 2>&1";
  Result faulty;
  {
    FILE* pipe = ::popen(check.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) faulty.out.append(buffer, n);
    const int status = ::pclose(pipe);
    faulty.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  EXPECT_EQ(faulty.exit_code, 1);
  EXPECT_NE(faulty.out.find("tag T_LOG: "), std::string::npos) << faulty.out;
  EXPECT_NE(faulty.out.find("T_EVENT: ok"), std::string::npos) << faulty.out;
  EXPECT_EQ(RunTool("reindex " + table).exit_code, 0);
  EXPECT_EQ(RunTool("check " + table).exit_code, 0);
  std::filesystem::remove_all(std::filesystem::path(table).parent_path());
}

}  // namespace
