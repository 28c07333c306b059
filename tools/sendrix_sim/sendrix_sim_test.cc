#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "gtest/gtest.h"
#include "platform/devices/device_directory.h"
#include "platform/win/temp_folder_test_util.h"
#include "tables/database_engine.h"
#include "tables/table_set.h"
#include "tools/sendrix_sim/demo_folder.h"
#include "tools/sendrix_sim/simulator.h"

namespace sdx::sim {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kNow = 1767225600;  // 2026-01-01

std::string Bytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // A DBF header carries the date of its last change.
  if (path.extension() == ".dbf" && bytes.size() > 4) bytes.replace(1, 3, 3, '\0');
  return bytes;
}

// Every file of the folder, by its path inside the folder; evhub.ini names the folder itself.
std::map<std::string, std::string> Contents(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().filename() == "evhub.ini") continue;
    files[fs::relative(entry.path(), dir).string()] = Bytes(entry.path());
  }
  return files;
}

DemoOptions Options(uint64_t seed) {
  DemoOptions options;
  options.seed = seed;
  options.events = 60;
  options.templates = "/site";
  options.now = kNow;
  return options;
}

class SendrixSimTest : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, uint64_t seed) {
    const std::string dir = folder_.path() + "/" + name;
    DemoSignOn sign_on;
    std::string error;
    EXPECT_TRUE(MakeDemoFolder(dir, Options(seed), &sign_on, &error)) << error;
    sign_on_ = sign_on;
    return dir;
  }
  sdx::testing::TempFolder folder_{"sendrix-sim"};
  DemoSignOn sign_on_;
};

TEST_F(SendrixSimTest, SameSeedSameFolder) {
  const std::string a = Make("a", 7);
  const std::string b = Make("b", 7);
  const std::string c = Make("c", 8);
  const auto first = Contents(a);
  for (const char* file :
       {"LogStatusMsgs.dbf", "LogStatusMsgs.cdx", "database/Personnel.dbf", "database/Alarms.dbf",
        "database/LogAlarm.dbf", "database/LogAlarm.cdx", "database/LogMsgs.dbf",
        "database/LogResponse.dbf", "database/LogResponse.fpt", "database/Devices.dbf"}) {
    EXPECT_TRUE(first.count(file)) << file;
  }
  EXPECT_EQ(first, Contents(b));
  EXPECT_NE(first.at("database/LogAlarm.dbf"), Contents(c).at("database/LogAlarm.dbf"));
  std::string error;
  DemoSignOn sign_on;
  EXPECT_FALSE(MakeDemoFolder(a, Options(7), &sign_on, &error));
  EXPECT_NE(error.find("already holds tables"), std::string::npos);
}

TEST_F(SendrixSimTest, FolderOpensWithEveryState) {
  const std::string dir = Make("demo", 3);
  setenv("SDX_EVHUB_INI", (dir + "/evhub.ini").c_str(), 1);
  sdx::devices::SetDeviceFolder("");
  DatabaseEngine engine;
  TableSet tables;
  tables.set_database_folder(dir + "/database");
  tables.set_code_base(engine.code_base());
  tables.OpenLogDatabases();
  ASSERT_TRUE(tables.personnel.is_open() && tables.alarms.is_open() && tables.event_log.is_open() &&
              tables.messages.is_open() && tables.status_messages.is_open() &&
              tables.responses.is_open());

  const auto profiles = SortedProfileList(&tables.personnel);
  EXPECT_EQ(profiles.size(), 12u);
  PersonRecord person;
  ASSERT_TRUE(tables.personnel.FindById(1, &person));
  EXPECT_EQ(sign_on_.profile, person.NAME);
  EXPECT_EQ(sign_on_.password, person.PASSWORD);

  RecordNumberList list;
  tables.event_log.CollectRecordNumbers(&list, 0, false);
  std::set<int32_t> states;
  std::set<double> events;
  int closing_events = 0;
  for (int32_t record : list) {
    if (record == 0) continue;
    EventRecord row;
    ASSERT_TRUE(tables.event_log.ReadByRecordNumber(record, &row));
    EXPECT_GE(row.TIME, kNow - 31 * 24 * 3600);
    EXPECT_LE(row.TIME, kNow + 24 * 3600);
    states.insert(row.ESCL_FLAGS);
    EXPECT_NE(tables.messages.GetTextById(row.MSG_ID), "");
    EXPECT_NE(tables.status_messages.GetTextById(row.STATUS_ID), "");
    EXPECT_TRUE(tables.alarms.FindById(row.ALARM_ID, nullptr));
    char device[80] = {};
    dbDeviceNameByID(row.NODE_ID, device, sizeof device, nullptr);
    EXPECT_NE(device[0], '\0');
    if (events.insert(row.EVENT_ID).second &&
        tables.responses.GetClosingReplyTime(row.EVENT_ID) > 0) {
      ++closing_events;
    }
  }
  EXPECT_EQ(events.size(), 60u);
  EXPECT_GT(closing_events, 0);
  for (int32_t state :
       {kEsclOpen, kEsclOpen | kEsclWaitingForReply, kEsclOpen | kEsclRepliedByOwn,
        kEsclOpen | kEsclRepliedByOther, kEsclOpen | kEsclClosedByOwn | kEsclRepliedByOwn,
        kEsclOpen | kEsclClosedByOther | kEsclRepliedByOther,
        kEsclOpen | kEsclReplyTimerExpired | kEsclWaitingForReply,
        kEsclOpen | kEsclCloseTimerExpired, kEsclOpen | kEsclFinalEscalation,
        kEsclOpen | kEsclDeliveryError}) {
    EXPECT_TRUE(states.count(state)) << state;
  }
  tables.CloseLogDatabases();
}

TEST_F(SendrixSimTest, RunKeepsAppendingToTheFolder) {
  const std::string dir = Make("run", 5);
  DatabaseEngine engine;
  TableSet tables;
  tables.set_database_folder(dir + "/database");
  tables.set_code_base(engine.code_base());
  tables.OpenLogDatabases();
  const int32_t before = tables.event_log.GetRecordCount();
  RunOptions options;
  options.interval = std::chrono::milliseconds(0);
  options.steps = 40;
  std::atomic<bool> stop{false};
  std::string error;
  ASSERT_TRUE(RunSimulator(dir, options, stop, &error)) << error;
  const int32_t after = tables.event_log.GetRecordCount();
  EXPECT_GT(after, before);
  EventRecord newest;
  ASSERT_TRUE(tables.event_log.ReadByRecordNumber(after, &newest));
  EXPECT_EQ(tables.event_log.FindByLogId(newest.LOG_ID), after);
  tables.CloseLogDatabases();
}

}  // namespace
}  // namespace sdx::sim
