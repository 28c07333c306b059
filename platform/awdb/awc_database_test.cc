// The table base over real files: creation only when the table is missing, the version stamp,
// migration by a field map (rows, deletion flags and memos kept, new fields empty, tags
// rebuilt), a migration that fails halfway, and opening with bound field handles.
#include "platform/awdb/awc_database.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/xbase/test_util.h"

namespace sdx::awdb {
namespace {

using xbase::testing::ReadWholeFile;
using xbase::testing::TempDir;
using xbase::testing::WriteWholeFile;

const FIELD4INFO kOldFields[] = {{"ID", 'B', 8, 0, 0},
                                 {"NAME", 'C', 10, 0, 0},
                                 {"NOTE", 'M', 10, 0, 0},
                                 {"COUNT", 'N', 5, 0, 0},
                                 {nullptr, 0, 0, 0, 0}};
const TAG4INFO kOldTags[] = {{"T_ID", "ID", nullptr, 0, 0}, {nullptr, nullptr, nullptr, 0, 0}};

// The new layout drops COUNT, widens NAME, and adds two fields.
const FIELD4INFO kNewFields[] = {{"ID", 'B', 8, 0, 0},    {"NAME", 'C', 20, 0, 0},
                                 {"NOTE", 'M', 10, 0, 0}, {"EXTRA", 'B', 8, 0, 0},
                                 {"LABEL", 'C', 5, 0, 0}, {nullptr, 0, 0, 0, 0}};
const TAG4INFO kNewTags[] = {{"T_ID", "ID", ".NOT. DELETED()", -340, 0},
                             {"T_NAME", "UPPER(NAME)", nullptr, 0, 10},
                             {nullptr, nullptr, nullptr, 0, 0}};

class Table : public AWCDataBase {
 public:
  explicit Table(int field_count) { RegisterHandles(&data, fields, field_count); }
  DATA4* data = nullptr;
  FIELD4* fields[8] = {};
};

class AwcDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(code4initLow(&code_, nullptr, 6502, 1615, 0), 0);
    code4lockEnforceSet(&code_, 1);
  }
  void TearDown() override { code4initUndo(&code_); }

  void Prepare(Table* table, unsigned version) {
    std::snprintf(table->folder_, sizeof(table->folder_), "%s/", dir_.path().c_str());
    table->SetDBName("Things");
    table->BuildDBName();
    table->code_base_ = &code_;
    table->version_ = version;
  }

  // Three rows through the engine: the second deleted, each with a memo.
  void Fill(Table* table) {
    ASSERT_NE(table->OpenDB(&table->data, table->fields), 0);
    const char* names[] = {"carol", "alice", "bob"};
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(d4appendStart(table->data, 0), 0);
      ASSERT_EQ(d4blank(table->data), 0);
      ASSERT_EQ(f4assignDouble(table->fields[0], 10 + i), 0);
      ASSERT_EQ(f4assign(table->fields[1], names[i]), 0);
      ASSERT_EQ(f4memoAssign(table->fields[2], (std::string("memo of ") + names[i]).c_str()), 0);
      ASSERT_EQ(f4assignLong(table->fields[3], 7 * i), 0);
      if (i == 1) {
        ASSERT_EQ(d4delete(table->data), 0);
      }
      ASSERT_EQ(d4append(table->data), 0);
    }
    table->CloseDB();
    EXPECT_EQ(table->data, nullptr);
  }

  CODE4 code_;
  TempDir dir_;
};

TEST_F(AwcDatabaseTest, CreatesOnlyMissingTablesStampedWithTheirVersion) {
  Table table(4);
  Prepare(&table, 3);
  EXPECT_EQ(table.full_name_, dir_.path() + "/Things");
  EXPECT_EQ(table.GetDBVersion(), 0u) << "no table yet";
  ASSERT_EQ(table.CreateDB(kOldFields, kOldTags), 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("Things.dbf")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("Things.fpt")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("Things.cdx")));
  EXPECT_EQ(table.GetDBVersion(), 3u);
  Fill(&table);

  // An existing table, even under another letter case, is left alone.
  std::filesystem::rename(dir_.File("Things.dbf"), dir_.File("THINGS.DBF"));
  table.version_ = 9;
  ASSERT_EQ(table.CreateDB(kNewFields, kNewTags), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("Things.dbf")));
  EXPECT_EQ(table.GetDBVersion(), 3u);
  ASSERT_NE(table.OpenDB(&table.data, table.fields), 0);
  EXPECT_EQ(_d4recCountDo2(table.data, 0), 3);
  EXPECT_STREQ(f4name(table.fields[3]), "COUNT");
  d4tagSelect(table.data, d4tag(table.data, "T_ID"));
  EXPECT_EQ(d4seekDouble(table.data, 11), 0);
  EXPECT_EQ(d4recNoLow(table.data), 2);
  table.CloseDB();
}

TEST_F(AwcDatabaseTest, MigrateKeepsRowsDeletionsAndMemosAndRebuildsTags) {
  Table table(5);
  Prepare(&table, 1);
  ASSERT_EQ(table.CreateDB(kOldFields, kOldTags), 0);
  Fill(&table);
  table.version_ = 2;
  ASSERT_EQ(table.Migrate("0,1,2", &table.data, table.fields, kNewFields, kNewTags), 0);
  EXPECT_EQ(table.GetDBVersion(), 2u);
  for (const char* leftover : {"Things~mig.dbf", "Things~mig.fpt", "Things~mig.cdx"}) {
    EXPECT_FALSE(std::filesystem::exists(dir_.File(leftover))) << leftover;
  }
  ASSERT_NE(table.OpenDB(&table.data, table.fields), 0);
  ASSERT_EQ(d4numFields(table.data), 5);
  EXPECT_STREQ(f4name(table.fields[4]), "LABEL");
  const char* names[] = {"carol", "alice", "bob"};
  for (long record = 1; record <= 3; ++record) {
    SCOPED_TRACE(record);
    ASSERT_EQ(d4goLow(table.data, record, 1), 0);
    EXPECT_EQ(f4double(table.fields[0]), 9 + record);
    EXPECT_EQ(std::string(f4str(table.fields[1])),
              std::string(names[record - 1]).append(20 - std::strlen(names[record - 1]), ' '));
    EXPECT_EQ(std::string(f4memoStr(table.fields[2])), std::string("memo of ") + names[record - 1]);
    EXPECT_EQ(f4double(table.fields[3]), 0);
    EXPECT_EQ(std::string(f4str(table.fields[4])), "     ");
    EXPECT_EQ(d4deleted(table.data) != 0, record == 2);
  }
  // The new tags exist, built from the rows: the deleted row is out of T_ID's FOR.
  d4tagSelect(table.data, d4tag(table.data, "T_ID"));
  std::vector<long> order;
  for (int rc = d4top(table.data); rc == 0 && !d4eof(table.data); rc = d4skip(table.data, 1)) {
    order.push_back(d4recNoLow(table.data));
  }
  EXPECT_EQ(order, (std::vector<long>{1, 3}));
  d4tagSelect(table.data, d4tag(table.data, "T_NAME"));
  ASSERT_EQ(d4top(table.data), 0);
  EXPECT_EQ(d4recNoLow(table.data), 1) << "descending: CAROL first";
  table.CloseDB();
}

TEST_F(AwcDatabaseTest, MigrationThatFailsHalfwayLeavesTheOldTableUsable) {
  Table table(4);
  Prepare(&table, 1);
  ASSERT_EQ(table.CreateDB(kOldFields, kOldTags), 0);
  Fill(&table);
  const std::vector<uint8_t> dbf_before = ReadWholeFile(dir_.File("Things.dbf"));
  const std::vector<uint8_t> cdx_before = ReadWholeFile(dir_.File("Things.cdx"));
  // The third row's memo pointer names a block far past the memo file's end: copying stops
  // there, after two rows were already written to the new files.
  std::vector<uint8_t> damaged = dbf_before;
  const size_t header_length = damaged[8] | (damaged[9] << 8);
  const size_t record_length = damaged[10] | (damaged[11] << 8);
  const size_t memo_offset = header_length + 2 * record_length + 1 + 8 + 10;
  damaged[memo_offset + 3] = 0x7f;
  WriteWholeFile(dir_.File("Things.dbf"), damaged);

  table.version_ = 2;
  EXPECT_NE(table.Migrate("0,1,2", &table.data, table.fields, kNewFields, kNewTags), 0);
  EXPECT_EQ(ReadWholeFile(dir_.File("Things.dbf")), damaged);
  EXPECT_EQ(ReadWholeFile(dir_.File("Things.cdx")), cdx_before);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("Things~mig.dbf")));
  EXPECT_EQ(table.GetDBVersion(), 1u);
  ASSERT_NE(table.OpenDB(&table.data, table.fields), 0);
  EXPECT_EQ(_d4recCountDo2(table.data, 0), 3);
  ASSERT_EQ(d4goLow(table.data, 1, 1), 0);
  EXPECT_EQ(std::string(f4memoStr(table.fields[2])), "memo of carol");
  table.CloseDB();
}

TEST_F(AwcDatabaseTest, BadMapsAndMissingTablesAreRefused) {
  Table table(4);
  Prepare(&table, 1);
  EXPECT_EQ(table.OpenDB(&table.data, table.fields), 0);
  EXPECT_NE(table.Migrate("0,1", &table.data, table.fields, kNewFields, kNewTags), 0);
  ASSERT_EQ(table.CreateDB(kOldFields, kOldTags), 0);
  EXPECT_NE(table.Migrate("0,x", &table.data, table.fields, kNewFields, kNewTags), 0);
  EXPECT_NE(table.Migrate("0,9", &table.data, table.fields, kNewFields, kNewTags), 0);
  EXPECT_EQ(table.GetDBVersion(), 1u);
  EXPECT_NE(table.OpenDB(&table.data, table.fields), 0);
  table.CloseDB();
}

}  // namespace
}  // namespace sdx::awdb
