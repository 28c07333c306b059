// The golden tables, written by an independent xBase engine, read through the table classes:
// every lookup must give the rows their listing holds, in the order their tags hold them.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "nlohmann/json.hpp"
#include "tables/table_set.h"
#include "tables/table_test_util.h"

namespace sdx {
namespace {

using nlohmann::json;

const std::string kGolden = SDX_SHARED_DIR "/fixtures/xbase-golden";

std::string TrimRight(std::string text, const char* blanks) {
  const size_t end = text.find_last_not_of(blanks);
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

// The listing writes bytes 0x80-0xFF as \u00XX, which the parser turns into UTF-8; the tables
// hold the single bytes.
std::string Bytes(const json& value) {
  const std::string utf8 = value.get<std::string>();
  std::string bytes;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = utf8[i];
    if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      bytes += static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F));
    } else {
      bytes += static_cast<char>(c);
    }
  }
  return bytes;
}

std::string TrimRight(const json& value, const char* blanks = " ") {
  return TrimRight(Bytes(value), blanks);
}

class GoldenTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream listing(kGolden + "/listing.json");
    ASSERT_TRUE(listing.is_open());
    listing_ = json::parse(listing);
    // Everything in one folder: the settings name it as the paging server's folder (for
    // LogStatusMsgs) and the set uses it as the database folder. The golden files carry no
    // version stamp; they are stamped as current so that nothing is migrated.
    for (const auto& entry : std::filesystem::directory_iterator(kGolden)) {
      std::filesystem::copy_file(entry.path(),
                                 folder_.path() + "/" + entry.path().filename().string());
    }
    const std::pair<const char*, uint32_t> stamps[] = {{"Personnel", 3},     {"Alarms", 1},
                                                       {"LogAlarm", 4},      {"LogMsgs", 2},
                                                       {"LogStatusMsgs", 1}, {"LogResponse", 2}};
    for (const auto& [name, version] : stamps) {
      testing::WriteStamp(folder_.path() + "/" + name + ".dbf", version);
    }
    tables_ = std::make_unique<TableSet>();
    tables_->set_database_folder(folder_.path());
    tables_->set_code_base(engine_.code_base());
    tables_->OpenLogDatabases();
  }
  void TearDown() override {
    if (tables_) tables_->CloseLogDatabases();
  }

  const json& Table(const std::string& name) {
    for (const json& table : listing_["tables"]) {
      if (table["table"] == name) return table;
    }
    ADD_FAILURE() << name;
    return listing_;
  }
  const json& Tag(const std::string& table, const std::string& tag) {
    for (const json& entry : Table(table)["tags"]) {
      if (entry["name"] == tag) return entry;
    }
    ADD_FAILURE() << tag;
    return listing_;
  }
  const json& Record(const std::string& table, int recno) {
    return Table(table)["records"][recno - 1]["values"];
  }
  // The first record number per key value of a numeric tag, and every record number of a
  // value in tag order.
  std::map<double, std::vector<int32_t>> KeyRecords(const std::string& table,
                                                    const std::string& tag) {
    std::map<double, std::vector<int32_t>> keys;
    for (const json& key : Tag(table, tag)["keys"]) {
      keys[key["value"].get<double>()].push_back(key["recno"].get<int32_t>());
    }
    return keys;
  }

  testing::TableFolder folder_;
  DatabaseEngine engine_;
  std::unique_ptr<TableSet> tables_;
  json listing_;
};

TEST_F(GoldenTablesTest, EveryTableOpens) {
  EXPECT_TRUE(tables_->personnel.is_open());
  EXPECT_TRUE(tables_->alarms.is_open());
  EXPECT_TRUE(tables_->event_log.is_open());
  EXPECT_TRUE(tables_->messages.is_open());
  EXPECT_TRUE(tables_->status_messages.is_open());
  EXPECT_TRUE(tables_->responses.is_open());
}

TEST_F(GoldenTablesTest, PersonnelLookupsAndProfileList) {
  const auto keys = KeyRecords("Personnel", "T_ID");
  for (const auto& [id, records] : keys) {
    const json& row = Record("Personnel", records.front());
    PersonRecord person;
    ASSERT_TRUE(tables_->personnel.FindById(id, &person)) << id;
    EXPECT_EQ(person.ID, id);
    EXPECT_EQ(std::string(person.NAME), TrimRight(row["NAME"]));
    EXPECT_EQ(std::string(person.PASSWORD), TrimRight(row["PASSWORD"]));
    EXPECT_EQ(person.TYPE, row["TYPE"].get<int>());
    EXPECT_EQ(person.ALLNODES, row["ALLNODES"].get<bool>() ? 1 : 0);
    EXPECT_EQ(person.EXCLUDE, row["EXCLUDE"].get<bool>() ? 1 : 0);
    EXPECT_EQ(tables_->personnel.GetNameById(id), TrimRight(row["NAME"]));
  }
  PersonRecord untouched;
  untouched.ID = 77;
  EXPECT_FALSE(tables_->personnel.FindById(15, &untouched));  // between two stored ids
  EXPECT_EQ(untouched.ID, 77);
  EXPECT_EQ(tables_->personnel.GetNameById(15), "");

  RecordNumberList list;
  std::vector<int32_t> expected;
  std::vector<std::string> profiles;
  for (const json& key : Tag("Personnel", "T_ID")["keys"]) {
    const int32_t recno = key["recno"];
    expected.push_back(recno);
    const json& row = Record("Personnel", recno);
    if (row["TYPE"].get<int>() != 0) continue;
    char id[64];
    std::snprintf(id, sizeof id, "%.0f", row["ID"].get<double>());
    profiles.push_back(TrimRight(row["NAME"]) + "," + id);
  }
  EXPECT_EQ(tables_->personnel.CollectRecordNumbers(&list), static_cast<int>(expected.size()));
  EXPECT_EQ(list, expected);
  std::stable_sort(profiles.begin(), profiles.end(), LessIgnoringCase);
  EXPECT_EQ(SortedProfileList(&tables_->personnel), profiles);
}

TEST_F(GoldenTablesTest, AlarmAndMessageLookups) {
  for (const auto& [id, records] : KeyRecords("Alarms", "T_ID")) {
    const json& row = Record("Alarms", records.front());
    AlarmRecord alarm;
    ASSERT_TRUE(tables_->alarms.FindById(id, &alarm)) << id;
    EXPECT_EQ(alarm.NAME, TrimRight(Bytes(row["NAME"]).substr(0, 255), " "));
    EXPECT_EQ(alarm.FAMILY, TrimRight(row["FAMILY"]));
    EXPECT_EQ(alarm.MODULE, TrimRight(row["MODULE"]));
    EXPECT_EQ(alarm.SEVERITY, row["SEVERITY"].get<int>());
    EXPECT_EQ(alarm.CUSTMSG, TrimRight(row["CUSTMSG"]));
    EXPECT_TRUE(tables_->alarms.FindById(id, nullptr));
  }
  EXPECT_FALSE(tables_->alarms.FindById(10, nullptr));  // deleted, left out by its tag

  for (const auto& [id, records] : KeyRecords("LogMsgs", "T_ID")) {
    const std::string text = Bytes(Record("LogMsgs", records.front())["TEXT"]);
    EXPECT_EQ(tables_->messages.GetTextById(id), TrimRight(text.substr(0, 255), " ")) << id;
  }
  for (const auto& [id, records] : KeyRecords("LogStatusMsgs", "T_ID")) {
    EXPECT_EQ(tables_->status_messages.GetTextById(id),
              TrimRight(Record("LogStatusMsgs", records.front())["MSG"]))
        << id;
  }
  EXPECT_EQ(tables_->status_messages.GetTextById(1.5), "");  // deleted
  EXPECT_EQ(tables_->messages.GetTextById(12345), "");
}

TEST_F(GoldenTablesTest, EventLogQueries) {
  const json& table = Table("LogAlarm");
  const int32_t count = static_cast<int32_t>(table["records"].size());
  EXPECT_EQ(tables_->event_log.GetRecordCount(), count);

  RecordNumberList expected_forward;
  for (const json& record : table["records"]) {
    if (record["values"]["EVENT_ID"].get<double>() != 0) {
      expected_forward.push_back(record["recno"].get<int32_t>());
    }
  }
  RecordNumberList expected_backward(expected_forward.rbegin(), expected_forward.rend());
  expected_forward.resize(count, 0);
  expected_backward.resize(count, 0);
  RecordNumberList list;
  EXPECT_EQ(tables_->event_log.CollectRecordNumbers(&list, 0, false), count);
  EXPECT_EQ(list, expected_forward);
  EXPECT_EQ(tables_->event_log.CollectRecordNumbers(&list, -1, true), count);
  EXPECT_EQ(list, expected_backward);

  for (const json& record : table["records"]) {
    const json& values = record["values"];
    EventRecord row;
    ASSERT_TRUE(tables_->event_log.ReadByRecordNumber(record["recno"], &row));
    EXPECT_EQ(row.RecordNumber, record["recno"].get<int32_t>());
    EXPECT_EQ(row.LOG_ID, values["LOG_ID"].get<double>());
    EXPECT_EQ(row.TIME, values["TIME"].get<int32_t>());
    EXPECT_EQ(row.EVENT_ID, values["EVENT_ID"].get<double>());
    EXPECT_EQ(row.ESCL_FLAGS, values["ESCL_FLAGS"].get<int32_t>());
    EXPECT_EQ(row.DOWNDEVICE, values["DOWNDEVICE"].get<double>());
    EXPECT_EQ(row.ESCL_LVL, values["ESCL_LVL"].get<int32_t>());
  }
  EventRecord untouched;
  EXPECT_FALSE(tables_->event_log.ReadByRecordNumber(count + 1, &untouched));
  EXPECT_FALSE(tables_->event_log.ReadByRecordNumber(0, &untouched));

  for (const auto& [event_id, records] : KeyRecords("LogAlarm", "T_EVENT")) {
    EXPECT_EQ(tables_->event_log.FindByEventId(event_id, &list),
              static_cast<int32_t>(records.size()));
    EXPECT_EQ(list, records) << event_id;
  }
  EXPECT_EQ(tables_->event_log.FindByEventId(-12345, &list), 0);
  EXPECT_TRUE(list.empty());
  for (const auto& [log_id, records] : KeyRecords("LogAlarm", "T_LOG")) {
    EXPECT_EQ(tables_->event_log.FindByLogId(log_id), records.front()) << log_id;
  }
  EXPECT_EQ(tables_->event_log.FindByLogId(-12345), 0);
}

TEST_F(GoldenTablesTest, ResponseQueries) {
  for (const auto& [event_id, records] : KeyRecords("LogResponse", "T_EVENTID")) {
    RecordNumberList list;
    tables_->responses.FindByEventId(event_id, &list);
    EXPECT_EQ(list, records) << event_id;
    int32_t closing = 0;
    for (int32_t recno : records) {
      const json& row = Record("LogResponse", recno);
      ResponseRecord reply;
      ASSERT_TRUE(tables_->responses.ReadByRecordNumber(recno, &reply));
      EXPECT_EQ(reply.RSP_TEXT, TrimRight(row["RSP_TEXT"], " \t\r\n"));
      EXPECT_EQ(reply.PROFILE_ID, row["PROFILE_ID"].get<double>());
      std::string lower = row["RSP_TEXT"];
      std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
      if (closing == 0 && row["RSP_TIME"].get<int32_t>() > 0 &&
          lower.find("close") != std::string::npos) {
        closing = row["RSP_TIME"];
      }
    }
    EXPECT_EQ(tables_->responses.GetClosingReplyTime(event_id), closing) << event_id;
  }
}

}  // namespace
}  // namespace sdx
