#include "tables/response_table.h"

#include <string>

#include "tables/table_test_util.h"

namespace sdx {
namespace {

class ResponseTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::OpenIn(&table_, "LogResponse", folder_.database(), &engine_));
  }
  void Append(double event_id, int32_t time, std::string text) {
    ResponseRecord reply;
    reply.EVENT_ID = event_id;
    reply.PROFILE_ID = 3;
    reply.RSP_TIME = time;
    reply.RSP_TEXT = std::move(text);
    table_.AppendResponse(reply);
  }
  testing::TableFolder folder_;
  DatabaseEngine engine_;
  ResponseTable table_;
};

TEST_F(ResponseTableTest, ClosingReplyTime) {
  struct Case {
    const char* name;
    std::vector<std::pair<int32_t, std::string>> replies;
    int32_t expected;
  };
  const Case cases[] = {
      {"none", {}, 0},
      {"plain", {{100, "On my way"}}, 0},
      {"any case", {{100, "ok"}, {200, "Please CLOSE it"}}, 200},
      {"inside a word", {{300, "enclosed the valve"}}, 300},
      {"time not above 0", {{0, "close"}, {-5, "close"}}, 0},
      {"first found wins", {{900, "closed it"}, {400, "close"}}, 900},
  };
  double event_id = 1;
  for (const Case& c : cases) {
    for (const auto& [time, text] : c.replies) Append(event_id, time, text);
    EXPECT_EQ(table_.GetClosingReplyTime(event_id), c.expected) << c.name;
    ++event_id;
  }
}

TEST_F(ResponseTableTest, AppendsAndReadsBack) {
  const std::string long_text(5000, 'r');
  Append(7, 100, "");
  Append(7, 200, long_text + "\r\n\t \n");
  Append(8, 300, "  first line\r\nsecond");
  RecordNumberList list;
  table_.FindByEventId(7, &list);
  EXPECT_EQ(list, (RecordNumberList{1, 2}));
  table_.FindByEventId(9, &list);
  EXPECT_TRUE(list.empty());
  ResponseRecord reply;
  ASSERT_TRUE(table_.ReadByRecordNumber(1, &reply));
  EXPECT_EQ(reply.RSP_TEXT, "");
  EXPECT_EQ(reply.RSP_TIME, 100);
  EXPECT_EQ(reply.PROFILE_ID, 3);
  ASSERT_TRUE(table_.ReadByRecordNumber(2, &reply));
  EXPECT_EQ(reply.RSP_TEXT, long_text);
  ASSERT_TRUE(table_.ReadByRecordNumber(3, &reply));
  EXPECT_EQ(reply.RSP_TEXT, "  first line\r\nsecond");
  ResponseRecord untouched;
  untouched.RSP_TIME = 42;
  EXPECT_FALSE(table_.ReadByRecordNumber(0, &untouched));
  EXPECT_FALSE(table_.ReadByRecordNumber(4, &untouched));
  EXPECT_EQ(untouched.RSP_TIME, 42);
}

}  // namespace
}  // namespace sdx
