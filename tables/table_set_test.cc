#include "tables/table_set.h"

#include <fstream>

#include "tables/table_test_util.h"

namespace sdx {
namespace {

class TableSetTest : public ::testing::Test {
 protected:
  void Configure(TableSet* tables) {
    tables->set_database_folder(folder_.database());
    tables->set_code_base(engine_.code_base());
  }
  testing::TableFolder folder_;
  DatabaseEngine engine_;
};

TEST_F(TableSetTest, OpensOnceAndReopensAfterClose) {
  TableSet tables;
  Configure(&tables);
  tables.OpenLogDatabases();
  ASSERT_TRUE(tables.tables_open());
  EXPECT_TRUE(tables.personnel.is_open());
  EXPECT_TRUE(tables.responses.is_open());
  EXPECT_TRUE(std::filesystem::exists(folder_.path() + "/LogStatusMsgs.dbf"));
  EXPECT_TRUE(std::filesystem::exists(folder_.database() + "/LogAlarm.cdx"));
  testing::AppendRows(folder_.database() + "/LogMsgs", {{{"ID", 1.0}, {"TEXT", "Hello"}}});
  tables.OpenLogDatabases();  // no second open
  EXPECT_EQ(tables.messages.GetTextById(1), "Hello");
  tables.CloseLogDatabases();
  EXPECT_FALSE(tables.tables_open());
  EXPECT_FALSE(tables.messages.is_open());
  EXPECT_EQ(tables.messages.GetTextById(1), "");
  tables.CloseLogDatabases();

  // The database folder is taken anew on every open.
  const std::string other = folder_.path() + "/other";
  std::filesystem::create_directories(other);
  tables.set_database_folder(other);
  tables.OpenLogDatabases();
  EXPECT_TRUE(std::filesystem::exists(other + "/LogMsgs.dbf"));
  EXPECT_EQ(tables.messages.GetTextById(1), "");
  tables.CloseLogDatabases();
}

TEST_F(TableSetTest, OneTableFailingLeavesTheOthersOpen) {
  // Personnel's file is not a table at all.
  std::ofstream(folder_.database() + "/Personnel.dbf") << "not a table";
  TableSet tables;
  Configure(&tables);
  tables.OpenLogDatabases();
  EXPECT_FALSE(tables.personnel.is_open());
  EXPECT_TRUE(tables.alarms.is_open());
  EXPECT_TRUE(tables.event_log.is_open());
  EXPECT_TRUE(tables.status_messages.is_open());
  EXPECT_EQ(tables.personnel.GetNameById(1), "");
  tables.CloseLogDatabases();
}

TEST_F(TableSetTest, ExportsForwardToTheRegisteredSet) {
  TableSet tables;
  Configure(&tables);
  OpenLogDatabases();  // nothing registered: nothing happens
  EXPECT_FALSE(tables.tables_open());
  SetExportedTableSet(&tables);
  OpenLogDatabases();
  EXPECT_TRUE(tables.tables_open());
  CloseLogDatabases();
  EXPECT_FALSE(tables.tables_open());
  SetExportedTableSet(nullptr);
}

}  // namespace
}  // namespace sdx
