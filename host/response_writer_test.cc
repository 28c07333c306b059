#include "host/response_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "host/flush_timer.h"

namespace sdx::host {
namespace {

// Records every send; can play a client that has gone away.
class RecordingSink : public ResponseSink {
 public:
  bool Send(const char* data, size_t size) override {
    std::scoped_lock lock(mutex_);
    sends_.emplace_back(data, size);
    changed_.notify_all();
    return !gone_;
  }
  std::vector<std::string> sends() {
    std::scoped_lock lock(mutex_);
    return sends_;
  }
  std::string all() {
    std::string text;
    for (const std::string& send : sends()) text += send;
    return text;
  }
  bool WaitForSends(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30),
                             [&] { return sends_.size() >= count; });
  }
  void set_gone() { gone_ = true; }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> sends_;
  bool gone_ = false;
};

bool WriteText(ResponseWriter* writer, const std::string& text) {
  return writer->Write(text.data(), text.size());
}

TEST(ResponseWriterTest, SmallWritesBecomeOneChunkAndOneSend) {
  RecordingSink sink;
  ResponseWriter writer(nullptr);
  writer.Begin(&sink, true, true);
  ASSERT_TRUE(writer.SendHead("200 OK", "Content-Type: text/html\r\n\r\n"));
  // An empty piece must not end the chunked body early.
  for (const char* piece : {"", "<p>", "row", "", "</p>"}) ASSERT_TRUE(WriteText(&writer, piece));
  EXPECT_TRUE(sink.sends().empty());
  ASSERT_TRUE(writer.Finish());
  ASSERT_EQ(sink.sends().size(), 1u);
  EXPECT_EQ(sink.all(),
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n"
            "a\r\n<p>row</p>\r\n0\r\n\r\n");
  EXPECT_TRUE(writer.keep_alive());
  EXPECT_EQ(writer.status_code(), 200);
}

TEST(ResponseWriterTest, FramesEachKindOfResponse) {
  struct Case {
    const char* name;
    bool http11;
    bool keep_alive;
    const char* status;
    const char* headers;
    const char* expected;
    bool keeps_connection;
  };
  const Case kCases[] = {
      {"http/1.0 ends by closing", false, false, "200 OK", "Content-Type: text/plain\r\n",
       "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\nabcdef", false},
      {"client asked to close", true, false, "200 OK", "",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
       "6\r\nabcdef\r\n0\r\n\r\n",
       false},
      {"204 drops the body", true, true, "204 No Content", "Content-Type: text/html\r\n\r\n",
       "HTTP/1.1 204 No Content\r\nContent-Type: text/html\r\n\r\n", true},
      {"extension's length is kept", true, true, "200 OK", "Content-Length: 6\r\n\r\n",
       "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nabcdef", true},
      {"bytes beyond the length are dropped", true, true, "200 OK", "content-length: 4\r\n",
       "HTTP/1.1 200 OK\r\ncontent-length: 4\r\n\r\nabcd", false},
  };
  for (const Case& c : kCases) {
    RecordingSink sink;
    ResponseWriter writer(nullptr);
    writer.Begin(&sink, c.http11, c.keep_alive);
    ASSERT_TRUE(writer.SendHead(c.status, c.headers)) << c.name;
    EXPECT_TRUE(WriteText(&writer, "abc")) << c.name;
    EXPECT_TRUE(WriteText(&writer, "def")) << c.name;
    EXPECT_TRUE(writer.Finish()) << c.name;
    EXPECT_EQ(sink.all(), c.expected) << c.name;
    EXPECT_EQ(writer.keep_alive(), c.keeps_connection) << c.name;
  }
}

TEST(ResponseWriterTest, ShortBodyForAnnouncedLengthClosesTheConnection) {
  RecordingSink sink;
  ResponseWriter writer(nullptr);
  writer.Begin(&sink, true, true);
  ASSERT_TRUE(writer.SendHead("200 OK", "Content-Length: 10\r\n"));
  ASSERT_TRUE(WriteText(&writer, "abc"));
  writer.Finish();
  EXPECT_FALSE(writer.keep_alive());
}

TEST(ResponseWriterTest, RefusesBadStatusAndSecondHead) {
  RecordingSink sink;
  ResponseWriter writer(nullptr);
  writer.Begin(&sink, true, true);
  for (const char* bad : {"", "OK", "20 OK", "200OK", "200 OK\r\nX-Injected: 1", "099 Low"}) {
    EXPECT_FALSE(writer.SendHead(bad, "")) << bad;
  }
  EXPECT_TRUE(writer.SendHead("501 Not Implemented", ""));
  EXPECT_FALSE(writer.SendHead("200 OK", ""));
  writer.Finish();
  EXPECT_EQ(sink.all().rfind("HTTP/1.1 501 Not Implemented\r\n", 0), 0u);
}

TEST(ResponseWriterTest, WriteWithoutHeadSendsDefaultHead) {
  RecordingSink sink;
  ResponseWriter writer(nullptr);
  writer.Begin(&sink, true, true);
  ASSERT_TRUE(WriteText(&writer, "x"));
  writer.Finish();
  EXPECT_EQ(sink.all(),
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n"
            "1\r\nx\r\n0\r\n\r\n");
}

TEST(ResponseWriterTest, LargeWritesGoOutAsTheyComeAndFramingHolds) {
  RecordingSink sink;
  ResponseWriter writer(nullptr);
  writer.Begin(&sink, true, true);
  ASSERT_TRUE(writer.SendHead("200 OK", ""));
  std::string big(ResponseWriter::kFlushThreshold * 2, 'b');
  std::string small(100, 's');
  std::string expected_body;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(WriteText(&writer, small));
    ASSERT_TRUE(WriteText(&writer, big));
    expected_body += small + big;
    EXPECT_GE(sink.sends().size(), static_cast<size_t>(i + 1));
  }
  // Many small writes pass the threshold and go out without waiting for the end.
  size_t before = sink.sends().size();
  for (size_t i = 0; i < ResponseWriter::kFlushThreshold; i += small.size()) {
    ASSERT_TRUE(WriteText(&writer, small));
    expected_body += small;
  }
  EXPECT_GT(sink.sends().size(), before);
  ASSERT_TRUE(writer.Finish());

  // Undo the chunking and compare.
  std::string wire = sink.all();
  size_t at = wire.find("\r\n\r\n") + 4;
  std::string body;
  for (;;) {
    size_t line_end = wire.find("\r\n", at);
    size_t size = std::stoul(wire.substr(at, line_end - at), nullptr, 16);
    at = line_end + 2;
    if (size == 0) break;
    body += wire.substr(at, size);
    ASSERT_EQ(wire.substr(at + size, 2), "\r\n");
    at += size + 2;
  }
  EXPECT_EQ(body, expected_body);
  EXPECT_EQ(wire.substr(at), "\r\n");
}

TEST(ResponseWriterTest, LargePiecesPassUnframedWhenTheBodyIsNotChunked) {
  std::string big(ResponseWriter::kFlushThreshold + 1, 'b');
  for (bool http11 : {false, true}) {
    RecordingSink sink;
    ResponseWriter writer(nullptr);
    writer.Begin(&sink, http11, http11);
    std::string length = "Content-Length: " + std::to_string(big.size() + 1) + "\r\n";
    ASSERT_TRUE(writer.SendHead("200 OK", http11 ? length : ""));
    ASSERT_TRUE(WriteText(&writer, "a"));
    ASSERT_TRUE(WriteText(&writer, big));
    ASSERT_TRUE(writer.Finish());
    std::string wire = sink.all();
    EXPECT_EQ(wire.substr(wire.find("\r\n\r\n") + 4), "a" + big) << http11;
    EXPECT_EQ(writer.keep_alive(), http11);
  }
}

TEST(ResponseWriterTest, FirstSendComesEarlyLaterOnesGatherMore) {
  RecordingSink sink;
  ResponseWriter writer(nullptr);
  writer.Begin(&sink, true, true);
  ASSERT_TRUE(writer.SendHead("200 OK", ""));
  std::string row(100, 'r');
  size_t written = 0;
  while (sink.sends().empty()) {
    ASSERT_TRUE(WriteText(&writer, row));
    written += row.size();
  }
  EXPECT_LT(written, ResponseWriter::kFirstFlushThreshold + row.size());
  while (written < ResponseWriter::kFlushThreshold - 2 * row.size()) {
    ASSERT_TRUE(WriteText(&writer, row));
    written += row.size();
  }
  EXPECT_EQ(sink.sends().size(), 1u);
  writer.Finish();
}

TEST(ResponseWriterTest, GoneClientFailsLaterWrites) {
  RecordingSink sink;
  ResponseWriter writer(nullptr);
  writer.Begin(&sink, true, true);
  ASSERT_TRUE(writer.SendHead("200 OK", ""));
  sink.set_gone();
  std::string big(ResponseWriter::kFlushThreshold, 'b');
  EXPECT_FALSE(WriteText(&writer, big));
  EXPECT_FALSE(WriteText(&writer, "x"));
  EXPECT_FALSE(writer.Finish());
  EXPECT_FALSE(writer.keep_alive());
}

TEST(ResponseWriterTest, TimerSendsWhatWaitsWithoutTheEnd) {
  RecordingSink sink;
  FlushTimer timer(std::chrono::milliseconds(1));
  ResponseWriter writer(&timer);
  writer.Begin(&sink, true, true);
  ASSERT_TRUE(writer.SendHead("200 OK", ""));
  ASSERT_TRUE(WriteText(&writer, "first"));
  ASSERT_TRUE(sink.WaitForSends(1));
  EXPECT_NE(sink.all().find("5\r\nfirst\r\n"), std::string::npos);
  ASSERT_TRUE(WriteText(&writer, "second"));
  ASSERT_TRUE(sink.WaitForSends(2));
  EXPECT_EQ(sink.sends()[1], "6\r\nsecond\r\n");
  ASSERT_TRUE(writer.Finish());
  EXPECT_EQ(sink.sends().back(), "0\r\n\r\n");
}

}  // namespace
}  // namespace sdx::host
