// Opening a table found with another version stamp: kept, migrated with its rows, recreated
// empty, or (LogAlarm stamped 2) the end of the process.
#include <string>

#include "tables/table_set.h"
#include "tables/table_test_util.h"

namespace sdx {
namespace {

class VersionRulesTest : public ::testing::Test {
 protected:
  // Creates the table through its class, fills it with `rows` and closes it.
  template <typename Table>
  void MakeTable(const char* name, const std::string& folder,
                 const std::vector<testing::Row>& rows) {
    Table table;
    ASSERT_TRUE(testing::OpenIn(&table, name, folder, &engine_));
    table.CloseTable();
    testing::AppendRows(folder + "/" + name, rows);
  }

  testing::TableFolder folder_;
  DatabaseEngine engine_;
};

// A full LogAlarm row; the last four fields hold values that a migration from an older layout
// must not carry over.
testing::Row EventRow(double log_id) {
  return {{"LOG_ID", log_id},  {"STATUS_ID", 201.0}, {"TIME", 1700000000L}, {"EVENT_ID", 500.0},
          {"TECH_ID", 7.0},    {"ESCL_LVL", 3L},     {"ORGTECH_ID", 8.0},   {"ESCL_FLAGS", 4096L},
          {"ORGEVENTID", 9.0}, {"DOWNDEVICE", 10.0}};
}

TEST_F(VersionRulesTest, EventLogStamps) {
  struct Case {
    uint32_t stamp;
    int32_t rows_after;
    bool orgtech_kept;  // fields 17 and 18 (ORGTECH_ID, ESCL_FLAGS)
    bool last_kept;     // fields 19 and 20 (ORGEVENTID, DOWNDEVICE)
  };
  const Case cases[] = {
      {0, 0, false, false}, {1, 2, false, false}, {3, 2, true, false},
      {4, 2, true, true},   {5, 2, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stamp);
    const std::string folder = folder_.database() + "/stamp" + std::to_string(c.stamp);
    std::filesystem::create_directories(folder);
    MakeTable<EventLogTable>("LogAlarm", folder, {EventRow(1), EventRow(2)});
    testing::WriteStamp(folder + "/LogAlarm.dbf", c.stamp);
    EventLogTable table;
    ASSERT_TRUE(testing::OpenIn(&table, "LogAlarm", folder, &engine_));
    EXPECT_EQ(table.GetRecordCount(), c.rows_after);
    EXPECT_EQ(testing::ReadStamp(folder + "/LogAlarm.dbf"), c.stamp == 5 ? 5u : 4u);
    if (c.rows_after == 0) continue;
    EventRecord row;
    ASSERT_TRUE(table.ReadByRecordNumber(2, &row));
    EXPECT_EQ(row.LOG_ID, 2);
    EXPECT_EQ(row.EVENT_ID, 500);
    EXPECT_EQ(row.ESCL_LVL, 3);
    EXPECT_EQ(row.ORGTECH_ID, c.orgtech_kept ? 8 : 0);
    EXPECT_EQ(row.ESCL_FLAGS, c.orgtech_kept ? 4096 : 0);
    EXPECT_EQ(row.ORGEVENTID, c.last_kept ? 9 : 0);
    EXPECT_EQ(row.DOWNDEVICE, c.last_kept ? 10 : 0);
    RecordNumberList list;
    EXPECT_EQ(table.FindByEventId(500, &list), 2);  // the tags are there after a migration
    table.CloseTable();
  }
}

TEST_F(VersionRulesTest, EventLogStampedTwoEndsTheProcess) {
  MakeTable<EventLogTable>("LogAlarm", folder_.database(), {EventRow(1)});
  testing::WriteStamp(folder_.database() + "/LogAlarm.dbf", 2);
  EXPECT_EXIT(
      {
        EventLogTable table;
        testing::OpenIn(&table, "LogAlarm", folder_.database(), &engine_);
      },
      ::testing::ExitedWithCode(1),
      "Database version mismatch: The LogAlarm database has been updated to better handle "
      "escalation.\nPlease delete LogAlarm.\\* and restart Sdx");
  EXPECT_EQ(testing::ReadStamp(folder_.database() + "/LogAlarm.dbf"), 2u);  // left as it was
}

TEST_F(VersionRulesTest, MessageTablesWithoutStamp) {
  MakeTable<MessageTable>("LogMsgs", folder_.database(), {{{"ID", 1.0}, {"TEXT", "Pump"}}});
  testing::WriteStamp(folder_.database() + "/LogMsgs.dbf", 0);
  MessageTable messages;
  ASSERT_TRUE(testing::OpenIn(&messages, "LogMsgs", folder_.database(), &engine_));
  EXPECT_EQ(messages.GetTextById(1), "");  // recreated empty
  EXPECT_EQ(testing::ReadStamp(folder_.database() + "/LogMsgs.dbf"), 2u);

  MakeTable<StatusMessageTable>("LogStatusMsgs", folder_.path(),
                                {{{"ID", 202.0}, {"MSG", "Replied"}}});
  testing::WriteStamp(folder_.path() + "/LogStatusMsgs.dbf", 0);
  StatusMessageTable statuses;
  ASSERT_TRUE(testing::OpenIn(&statuses, "LogStatusMsgs", folder_.path(), &engine_));
  EXPECT_EQ(statuses.GetTextById(202), "Replied");  // migrated with its rows
  EXPECT_EQ(testing::ReadStamp(folder_.path() + "/LogStatusMsgs.dbf"), 1u);
}

TEST_F(VersionRulesTest, AlarmsWithoutStampKeepTheirRows) {
  MakeTable<AlarmTable>("Alarms", folder_.database(),
                        {{{"ID", 4.0}, {"NAME", "Boiler"}, {"SEVERITY", 3L}}});
  testing::WriteStamp(folder_.database() + "/Alarms.dbf", 0);
  AlarmTable alarms;
  ASSERT_TRUE(testing::OpenIn(&alarms, "Alarms", folder_.database(), &engine_));
  AlarmRecord alarm;
  ASSERT_TRUE(alarms.FindById(4, &alarm));
  EXPECT_EQ(alarm.NAME, "Boiler");
  EXPECT_EQ(alarm.SEVERITY, 3);
  EXPECT_EQ(testing::ReadStamp(folder_.database() + "/Alarms.dbf"), 1u);
}

TEST_F(VersionRulesTest, ResponsesStampedOneAreMigrated) {
  // A version-1 LogResponse had one more field before the memo; its values are dropped.
  static constexpr FIELD4INFO kOldFields[] = {
      {"LOG_ID", 'B', 8, 0, 0},   {"EVENT_ID", 'B', 8, 0, 0},  {"PROFILE_ID", 'B', 8, 0, 0},
      {"OLD_FLAG", 'N', 3, 0, 0}, {"RSP_TIME", 'N', 11, 0, 0}, {"RSP_TEXT", 'M', 10, 0, 0},
      {nullptr, 0, 0, 0, 0}};
  static constexpr TAG4INFO kOldTags[] = {{"T_EVENTID", "EVENT_ID", nullptr, 0, 0},
                                          {nullptr, nullptr, nullptr, 0, 0}};
  const std::string path = folder_.database() + "/LogResponse";
  {
    CODE4 code_base;
    code4initLow(&code_base, nullptr, kCode4InterfaceVersion, kCode4StructSize, 0);
    DATA4* data = d4create(&code_base, path.c_str(), kOldFields, kOldTags);
    ASSERT_NE(data, nullptr);
    d4close(data);
    code4initUndo(&code_base);
  }
  testing::AppendRows(path, {{{"EVENT_ID", 501.0},
                              {"OLD_FLAG", 7L},
                              {"RSP_TIME", 1700000000L},
                              {"RSP_TEXT", "Close it"}}});
  testing::WriteStamp(path + ".dbf", 1);
  ResponseTable responses;
  ASSERT_TRUE(testing::OpenIn(&responses, "LogResponse", folder_.database(), &engine_));
  ResponseRecord reply;
  ASSERT_TRUE(responses.ReadByRecordNumber(1, &reply));
  EXPECT_EQ(reply.EVENT_ID, 501);
  EXPECT_EQ(reply.RSP_TIME, 1700000000);
  EXPECT_EQ(reply.RSP_TEXT, "Close it");
  EXPECT_EQ(responses.GetClosingReplyTime(501), 1700000000);
  EXPECT_EQ(testing::ReadStamp(path + ".dbf"), 2u);
}

TEST_F(VersionRulesTest, PersonnelWithoutStamp) {
  // The unstamped layout: its sixth field fills ALLNODES, the later fields start empty.
  static constexpr FIELD4INFO kOldFields[] = {{"ID", 'B', 8, 0, 0},     {"NAME", 'C', 40, 0, 0},
                                              {"PAGER", 'C', 20, 0, 0}, {"GROUP", 'N', 3, 0, 0},
                                              {"NOTE", 'C', 40, 0, 0},  {"ALLNODES", 'L', 1, 0, 0},
                                              {nullptr, 0, 0, 0, 0}};
  const std::string path = folder_.database() + "/Personnel";
  {
    CODE4 code_base;
    code4initLow(&code_base, nullptr, kCode4InterfaceVersion, kCode4StructSize, 0);
    DATA4* data = d4create(&code_base, path.c_str(), kOldFields, nullptr);
    ASSERT_NE(data, nullptr);
    d4close(data);
    code4initUndo(&code_base);
  }
  testing::AppendRows(path, {{{"ID", 5.0}, {"NAME", "Anna"}, {"NOTE", "x"}, {"ALLNODES", "T"}}});
  PersonnelTable personnel;
  ASSERT_TRUE(testing::OpenIn(&personnel, "Personnel", folder_.database(), &engine_));
  PersonRecord person;
  ASSERT_TRUE(personnel.FindById(5, &person));
  EXPECT_STREQ(person.NAME, "Anna");
  EXPECT_EQ(person.ALLNODES, 1);
  EXPECT_STREQ(person.PASSWORD, "");
  EXPECT_EQ(person.TYPE, 0);
  EXPECT_EQ(testing::ReadStamp(path + ".dbf"), 3u);
}

}  // namespace
}  // namespace sdx
