#include "frame/extension_request.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "frame/fake_control_block.h"
#include "frame/page_output.h"

namespace sdx {
namespace {

using testing::FakeControlBlock;

std::string seen_text;
uint32_t seen_bytes = 0;

void Page(HttpServerContext& context, const CommandArguments& arguments) {
  seen_text = arguments.Text(0);
  BeginPage(context);
  WriteText(context, "<p>" + arguments.Text(0) + "</p>");
}
void Raw(HttpServerContext& context, const CommandArguments& arguments) {
  seen_text = std::string(arguments.raw_text);
  seen_bytes = arguments.body_bytes;
}
void ThrowBeforeHead(HttpServerContext&, const CommandArguments&) {
  throw std::runtime_error("no page");
}
void ThrowAfterHead(HttpServerContext& context, const CommandArguments&) {
  BeginPage(context);
  WriteText(context, "<p>half");
  throw 42;
}

class ExtensionRequestTest : public ::testing::Test {
 protected:
  ExtensionRequestTest() : dispatcher_(&table_) {}

  CommandTable table_{{
                          {"Page", CommandKind::kParams, {ParamType::kText}, "SId=0", &Page},
                          {"Raw", CommandKind::kRaw, {}, "", &Raw},
                          {"Quiet", CommandKind::kNone, {}, "", &Raw},
                          {"Broken", CommandKind::kNone, {}, "", &ThrowBeforeHead},
                          {"Half", CommandKind::kNone, {}, "", &ThrowAfterHead},
                      },
                      "Page"};
  CommandDispatcher dispatcher_;
};

TEST_F(ExtensionRequestTest, FailureStatusesWithErrorPages) {
  struct Case {
    FakeControlBlock request;
    const char* status_line;
    bool has_page;
  };
  Case cases[] = {
      {FakeControlBlock::Get("Page&Bogus=1"), "400 Bad Request", true},
      {FakeControlBlock::Get("Page&1&2"), "400 Bad Request", true},
      {FakeControlBlock::Post("NoSuchCommand", "SId=1", 5), "501 Not Implemented", true},
      {FakeControlBlock::Get("Broken"), "500 Internal Server Error", true},
  };
  for (Case& c : cases) {
    isapi::ExtensionControlBlock* ecb = c.request.ecb();
    EXPECT_EQ(ServeExtensionRequest(ecb, &dispatcher_), isapi::kStatusSuccess);
    EXPECT_EQ(c.request.heads, 1) << c.status_line;
    EXPECT_EQ(c.request.status_line, c.status_line);
    EXPECT_EQ(c.request.header_text, "Content-Type: text/html\r\n\r\n");
    EXPECT_NE(c.request.body.find(std::string("<h1>") + c.status_line + "</h1>"),
              std::string::npos);
    EXPECT_EQ(std::to_string(ecb->http_status_code), std::string(c.status_line).substr(0, 3));
  }
}

TEST_F(ExtensionRequestTest, PageAndStatusReachTheHost) {
  FakeControlBlock request = FakeControlBlock::Get("Page&SId=a+b \r\n");
  isapi::ExtensionControlBlock* ecb = request.ecb();
  ASSERT_EQ(ServeExtensionRequest(ecb, &dispatcher_), isapi::kStatusSuccess);
  EXPECT_EQ(request.heads, 1);
  EXPECT_EQ(request.status_line, "200 OK");
  EXPECT_EQ(request.body, "<p>a b</p>");
  EXPECT_EQ(ecb->http_status_code, 200u);
}

TEST_F(ExtensionRequestTest, HandlerThatThrowsAfterItsHead) {
  FakeControlBlock request = FakeControlBlock::Get("Half");
  isapi::ExtensionControlBlock* ecb = request.ecb();
  ASSERT_EQ(ServeExtensionRequest(ecb, &dispatcher_), isapi::kStatusSuccess);
  EXPECT_EQ(request.heads, 1);
  EXPECT_EQ(request.status_line, "200 OK");
  EXPECT_EQ(request.body.rfind("<p>half", 0), 0u);
  EXPECT_NE(request.body.find("500 Internal Server Error"), std::string::npos);
  EXPECT_EQ(ecb->http_status_code, 500u);
}

TEST_F(ExtensionRequestTest, HandlerWithoutAPageStillGetsAHead) {
  FakeControlBlock request = FakeControlBlock::Get("Quiet");
  ASSERT_EQ(ServeExtensionRequest(request.ecb(), &dispatcher_), isapi::kStatusSuccess);
  EXPECT_EQ(request.heads, 1);
  EXPECT_EQ(request.status_line, "200 OK");
  EXPECT_EQ(request.body, "");
}

TEST_F(ExtensionRequestTest, PostReadsTheWholeBody) {
  std::string body = "SId=1&Text=" + std::string(100, 'x') + "&Text=y \r\n";
  FakeControlBlock request = FakeControlBlock::Post("Raw", body, 10);
  ASSERT_EQ(ServeExtensionRequest(request.ecb(), &dispatcher_), isapi::kStatusSuccess);
  EXPECT_EQ(seen_text, "SId=1&Text=" + std::string(100, 'x') + ",y");
  EXPECT_EQ(seen_bytes, body.size());
}

TEST_F(ExtensionRequestTest, RefusedRequestsRunNoHandler) {
  FakeControlBlock cut = FakeControlBlock::Post("Raw", "SId=1&Text=abcdefghijkl", 4);
  cut.fail_reads = true;
  FakeControlBlock put = FakeControlBlock::Get("Page");
  put.method = "PUT";
  FakeControlBlock wrong_size = FakeControlBlock::Get("Page");
  for (FakeControlBlock* request : {&cut, &put, &wrong_size}) {
    seen_text = "untouched";
    isapi::ExtensionControlBlock* ecb = request->ecb();
    if (request == &wrong_size) ecb->size -= 4;
    EXPECT_EQ(ServeExtensionRequest(ecb, &dispatcher_), isapi::kStatusError);
    EXPECT_EQ(request->heads, 0);
    EXPECT_EQ(seen_text, "untouched");
  }
}

TEST_F(ExtensionRequestTest, NoWayToWriteGivesNoContent) {
  FakeControlBlock request = FakeControlBlock::Get("Page");
  isapi::ExtensionControlBlock* ecb = request.ecb();
  ecb->WriteClient = nullptr;
  ASSERT_EQ(ServeExtensionRequest(ecb, &dispatcher_), isapi::kStatusSuccess);
  EXPECT_EQ(request.status_line, "204 No Content");
  EXPECT_EQ(request.header_text, "\r\n");
  EXPECT_EQ(ecb->http_status_code, 204u);
}

TEST_F(ExtensionRequestTest, HostileInputGetsClearAnswers) {
  std::string many_names = "Page";
  for (int i = 0; i < 20000; ++i) many_names += "&p" + std::to_string(i) + "=1";
  std::string many_values = "Page";
  for (int i = 0; i < 20000; ++i) many_values += "&SId=%";
  std::string huge_value = "Page&SId=" + std::string(4 << 20, '%');
  struct Case {
    std::string query;
    const char* status_line;
  };
  const Case kCases[] = {
      {many_names, "400 Bad Request"},
      {many_values, "200 OK"},
      {huge_value, "200 OK"},
      {"Page&SId=%%%", "200 OK"},
  };
  for (const Case& c : kCases) {
    FakeControlBlock request = FakeControlBlock::Get(c.query);
    ASSERT_EQ(ServeExtensionRequest(request.ecb(), &dispatcher_), isapi::kStatusSuccess);
    EXPECT_EQ(request.status_line, c.status_line) << c.query.substr(0, 40);
  }
  EXPECT_EQ(seen_text, "??");
}

}  // namespace
}  // namespace sdx
