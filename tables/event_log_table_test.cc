#include "tables/event_log_table.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tables/alarm_table.h"
#include "tables/personnel_table.h"
#include "tables/table_test_util.h"

namespace sdx {
namespace {

class EventLogTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::OpenIn(&table_, "LogAlarm", folder_.database(), &engine_));
  }
  // `count` rows with LOG_ID 1..count; event ids from `event_of`.
  template <typename EventOf>
  void AddRows(int count, EventOf event_of) {
    std::vector<testing::Row> rows;
    for (int i = 1; i <= count; ++i) {
      rows.push_back({{"LOG_ID", double(i)}, {"EVENT_ID", event_of(i)}, {"TIME", 1700000000L + i}});
    }
    testing::AppendRows(folder_.database() + "/LogAlarm", rows);
  }

  testing::TableFolder folder_;
  DatabaseEngine engine_;
  EventLogTable table_;
};

TEST_F(EventLogTableTest, CollectFillsUpWithZerosWhenRowsBelongToNoEvent) {
  AddRows(30, [](int i) { return i % 6 == 0 ? 0.0 : 100.0 + i / 3; });
  RecordNumberList list;
  EXPECT_EQ(table_.CollectRecordNumbers(&list, 100, false), 30);
  ASSERT_EQ(list.size(), 30u);
  RecordNumberList expected;
  for (int i = 1; i <= 30; ++i) {
    if (i % 6 != 0) expected.push_back(i);
  }
  expected.resize(30, 0);
  EXPECT_EQ(list, expected);
}

TEST_F(EventLogTableTest, CollectNewestFirstStopsAtTheMaximum) {
  AddRows(1000, [](int i) { return 1.0 + i / 4; });
  RecordNumberList list;
  EXPECT_EQ(table_.CollectRecordNumbers(&list, 10, true), 10);
  EXPECT_EQ(list, (RecordNumberList{1000, 999, 998, 997, 996, 995, 994, 993, 992, 991}));
  EXPECT_EQ(table_.CollectRecordNumbers(&list, 0, true), 1000);
  EXPECT_EQ(list.back(), 1);
}

TEST_F(EventLogTableTest, EmptyTable) {
  RecordNumberList list = {5, 6};
  EXPECT_EQ(table_.CollectRecordNumbers(&list, 0, true), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(table_.FindByLogId(0), 0);
  EXPECT_EQ(table_.GetRecordCount(), 0);
}

TEST_F(EventLogTableTest, FindsByEventAndLogId) {
  AddRows(9, [](int i) { return i % 3 == 0 ? 7.0 : 8.0 + i; });
  RecordNumberList list;
  EXPECT_EQ(table_.FindByEventId(7, &list), 3);
  EXPECT_EQ(list, (RecordNumberList{3, 6, 9}));
  EXPECT_EQ(table_.FindByEventId(99, &list), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(table_.FindByLogId(5), 5);
  EXPECT_EQ(table_.FindByLogId(0), 0);
}

TEST_F(EventLogTableTest, UpdateRewritesTheRowAndIgnoresRecordZero) {
  AddRows(3, [](int) { return 4.0; });
  EventRecord row;
  ASSERT_TRUE(table_.ReadByRecordNumber(2, &row));
  row.ESCL_FLAGS = kEsclOpen | kEsclClosedByOwn;
  row.TECH_ID = 12;
  table_.UpdateRecord(row);
  EventRecord again;
  ASSERT_TRUE(table_.ReadByRecordNumber(2, &again));
  EXPECT_EQ(again.ESCL_FLAGS, kEsclOpen | kEsclClosedByOwn);
  EXPECT_EQ(again.TECH_ID, 12);
  EXPECT_EQ(again.LOG_ID, 2);

  EventRecord nowhere = again;
  nowhere.RecordNumber = 0;
  nowhere.ESCL_FLAGS = 1;
  table_.UpdateRecord(nowhere);
  for (int32_t record = 1; record <= 3; ++record) {
    ASSERT_TRUE(table_.ReadByRecordNumber(record, &again));
    EXPECT_NE(again.ESCL_FLAGS, 1);
  }
  EXPECT_TRUE(table_.UpdateFlags(2, kEsclRepliedByOwn, kEsclClosedByOwn, &again));
  EXPECT_EQ(again.ESCL_FLAGS, kEsclOpen | kEsclRepliedByOwn);
  EXPECT_FALSE(table_.UpdateFlags(4, 1, 0));
}

TEST(ClosedTablesTest, QueriesFailQuietly) {
  EventLogTable events;
  PersonnelTable personnel;
  AlarmTable alarms;
  RecordNumberList list = {1};
  EventRecord event;
  PersonRecord person;
  EXPECT_EQ(events.GetRecordCount(), 0);
  EXPECT_EQ(events.CollectRecordNumbers(&list, 10, true), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(events.ReadByRecordNumber(1, &event));
  EXPECT_EQ(events.FindByEventId(1, &list), 0);
  EXPECT_EQ(events.FindByLogId(1), 0);
  events.UpdateRecord(event);
  EXPECT_FALSE(events.UpdateFlags(1, 1, 0));
  EXPECT_FALSE(personnel.FindById(1, &person));
  EXPECT_EQ(personnel.GetNameById(1), "");
  EXPECT_EQ(personnel.CollectRecordNumbers(&list), 0);
  EXPECT_TRUE(SortedProfileList(&personnel).empty());
  EXPECT_FALSE(alarms.FindById(1, nullptr));
}

// A second process that plays the paging server: it locks records and releases them when told
// through a pipe.
class LockHolder {
 public:
  LockHolder(const std::string& path, std::vector<long> records) {
    int to_child[2], from_child[2];
    EXPECT_EQ(pipe(to_child), 0);
    EXPECT_EQ(pipe(from_child), 0);
    pid_ = fork();
    if (pid_ == 0) {
      close(to_child[1]);
      close(from_child[0]);
      CODE4 code_base;
      code4initLow(&code_base, nullptr, kCode4InterfaceVersion, kCode4StructSize, 0);
      DATA4* data = d4open(&code_base, path.c_str());
      bool locked = data != nullptr;
      for (long record : records) locked = locked && d4lockInternal(data, record, 1, 1) == 0;
      char byte = locked ? 'L' : 'F';
      if (write(from_child[1], &byte, 1) != 1 || read(to_child[0], &byte, 1) != 1) _exit(2);
      d4unlock(data);
      _exit(0);
    }
    close(to_child[0]);
    close(from_child[1]);
    release_ = to_child[1];
    char byte = 0;
    EXPECT_EQ(read(from_child[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'L');
    close(from_child[0]);
  }
  ~LockHolder() {
    Release();
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  void Release() {
    if (release_ < 0) return;
    char byte = 'R';
    EXPECT_EQ(write(release_, &byte, 1), 1);
    close(release_);
    release_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
};

TEST_F(EventLogTableTest, ReadWaitsForTheOtherProcessToRelease) {
  AddRows(3, [](int) { return 4.0; });
  LockHolder holder(folder_.database() + "/LogAlarm", {2});
  std::atomic<bool> done{false};
  EventRecord row;
  std::thread reader([&] {
    table_.ReadByRecordNumber(2, &row);
    done = true;
  });
  // A read that did not wait would be done long before the release.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(done.load());
  holder.Release();
  reader.join();
  EXPECT_TRUE(done.load());
  EXPECT_EQ(row.LOG_ID, 2);
}

TEST_F(EventLogTableTest, AlarmLookupDoesNotWaitForALockedRow) {
  AlarmTable alarms;
  ASSERT_TRUE(testing::OpenIn(&alarms, "Alarms", folder_.database(), &engine_));
  testing::AppendRows(folder_.database() + "/Alarms", {{{"ID", 9.0}, {"NAME", "Boiler"}}});
  LockHolder holder(folder_.database() + "/Alarms", {1});
  AlarmRecord alarm;
  EXPECT_TRUE(alarms.FindById(9, &alarm));  // would hang here if it waited
  EXPECT_EQ(alarm.NAME, "Boiler");
}

// Threads of this process and a second process set and clear their own ESCL_FLAGS bits on the
// same rows; every row must end with every bit, which a read and a write under separate locks
// would lose.
TEST_F(EventLogTableTest, ConcurrentFlagChangesLoseNoBit) {
  constexpr int kRows = 20;
  constexpr int kRounds = 15;
  AddRows(kRows, [](int) { return 4.0; });
  auto churn = [](EventLogTable* table, int32_t bit) {
    for (int round = 0; round < kRounds; ++round) {
      for (int32_t record = 1; record <= kRows; ++record) {
        table->UpdateFlags(record, bit, 0);
        if (round + 1 < kRounds) table->UpdateFlags(record, 0, bit);
      }
    }
  };
  const pid_t child = fork();
  if (child == 0) {
    DatabaseEngine engine;
    EventLogTable table;
    if (!testing::OpenIn(&table, "LogAlarm", folder_.database(), &engine)) _exit(2);
    std::thread first(churn, &table, 16);
    std::thread second(churn, &table, 32);
    first.join();
    second.join();
    table.CloseTable();
    _exit(0);
  }
  std::vector<std::thread> threads;
  for (int32_t bit : {1, 2, 4, 8}) threads.emplace_back(churn, &table_, bit);
  for (auto& thread : threads) thread.join();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (int32_t record = 1; record <= kRows; ++record) {
    EventRecord row;
    ASSERT_TRUE(table_.ReadByRecordNumber(record, &row));
    EXPECT_EQ(row.ESCL_FLAGS, 63) << record;
  }
}

}  // namespace
}  // namespace sdx
