#include "frame/page_output.h"

#include <gtest/gtest.h>

#include <string>

#include "frame/fake_control_block.h"
#include "frame/page_tags.h"

namespace sdx {
namespace {

using testing::FakeControlBlock;

TEST(PageOutputTest, HeadAndBodyBytes) {
  FakeControlBlock request = FakeControlBlock::Get("");
  HttpServerContext context(request.ecb());
  EXPECT_TRUE(context.send_headers());
  EXPECT_TRUE(BeginPage(context));
  EXPECT_FALSE(context.send_headers());
  EXPECT_EQ(request.status_line, "200 OK");
  EXPECT_EQ(request.header_text, "Content-Type: text/html\r\n\r\n");
  const std::string with_zeros("a\0b\0", 4);
  EXPECT_TRUE(WriteText(context, with_zeros));
  EXPECT_TRUE(WriteText(context, "c"));
  EXPECT_EQ(request.body, std::string("a\0b\0c", 5));
}

TEST(PageOutputTest, MessagePage) {
  std::string page = MessagePage(kMessageBanner, "<b>Session timed out</b>");
  EXPECT_EQ(page.find("<cv_message>"), std::string::npos);
  EXPECT_NE(
      page.find("<FONT FACE='Arial' size='2' ><b><br><b>Session timed out</b></b></font><br>"),
      std::string::npos);
  EXPECT_EQ(page.rfind("<p><font color='#335d8d' size='5' face='BahamasHeavy'>", 0), 0u);
}

TEST(PageTagsTest, ReplaceTagReplacesEveryOccurrenceOnce) {
  struct Case {
    std::string page, tag, value, out;
    size_t count;
  };
  const Case kCases[] = {
      {"<cv_sid>-<cv_sid>-<CV_SID>", "<cv_sid>", "12", "12-12-<CV_SID>", 2},
      {"x<cv_sid>y", "<cv_sid>", "<cv_sid><cv_sid>", "x<cv_sid><cv_sid>y", 1},
      {"no tag here", "<cv_sid>", "12", "no tag here", 0},
      {"<cv_a><cv_a>", "<cv_a>", "", "", 2},
  };
  for (const Case& c : kCases) {
    std::string page = c.page;
    EXPECT_EQ(ReplaceTag(&page, c.tag, c.value), c.count) << c.page;
    EXPECT_EQ(page, c.out) << c.page;
  }
  // Many tags in a large page: one pass, so this stays fast even under sanitizers.
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "<td><cv_x></td>";
  EXPECT_EQ(ReplaceTag(&big, "<cv_x>", "value"), 100000u);
  EXPECT_EQ(big.size(), 100000u * 14);
}

TEST(PageTagsTest, InsertionPointStays) {
  std::string page = "<select><cv_nextrow></select>";
  EXPECT_TRUE(InsertBeforeTag(&page, kNextRowTag, "<option>1</option><option>2</option>"));
  EXPECT_EQ(page, "<select><option>1</option><option>2</option><cv_nextrow></select>");
  std::string plain = "<select></select>";
  EXPECT_FALSE(InsertBeforeTag(&plain, kNextRowTag, "<option>"));
  EXPECT_EQ(plain, "<select></select>");
}

TEST(PageTagsTest, RowBlock) {
  RowBlock block;
  ASSERT_TRUE(
      SplitRowBlock("head<cv_nextrow><tr><cv_id></tr></cv_nextrow>tail</cv_nextrow>end", &block));
  EXPECT_EQ(block.head, "head");
  EXPECT_EQ(block.row, "<tr><cv_id></tr>");
  EXPECT_EQ(block.tail, "tail</cv_nextrow>end");
  for (const char* broken :
       {"head<cv_nextrow>row", "head</cv_nextrow>row", "</cv_nextrow>a<cv_nextrow>b", ""}) {
    RowBlock untouched{"h", "r", "t"};
    EXPECT_FALSE(SplitRowBlock(broken, &untouched)) << broken;
    EXPECT_EQ(untouched.head + untouched.row + untouched.tail, "hrt");
  }
}

}  // namespace
}  // namespace sdx
