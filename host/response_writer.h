// Frames one HTTP response at a time for one worker thread and coalesces the extension's small
// writes into few socket writes. The request bridge owns one per worker thread and reuses it for
// every request; the flush timer may flush it from its own thread, so mutex_ guards all state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace sdx::host {

class FlushTimer;

// Where a response's bytes go: the client's connection in the host, a string in tests.
class ResponseSink {
 public:
  virtual ~ResponseSink() = default;
  // Sends all of `data`; false when the client has gone away.
  virtual bool Send(const char* data, size_t size) = 0;
};

class ResponseWriter {
 public:
  // Buffered bytes go out when this many have gathered, when the timer fires, or at the end.
  // The first send of a response comes sooner, so that the browser can start on the page.
  static constexpr size_t kFirstFlushThreshold = 8 * 1024;
  static constexpr size_t kFlushThreshold = 64 * 1024;

  // `timer` may be null: then buffered bytes wait for the threshold or the end of the response.
  explicit ResponseWriter(FlushTimer* timer);

  ResponseWriter(const ResponseWriter&) = delete;
  ResponseWriter& operator=(const ResponseWriter&) = delete;

  // Starts a response on `sink`. `http11`: the client speaks HTTP/1.1 and can take a chunked
  // body; `keep_alive`: the client lets the connection stay open after this response.
  void Begin(ResponseSink* sink, bool http11, bool keep_alive);

  // Sends the head: "HTTP/1.1 <status>\r\n", the header lines of `headers` (each ended by
  // "\r\n"; a closing empty line is optional) and the framing headers the host adds. False when
  // a head was already sent, the status text is not "<3 digits> <reason>", or the client is gone.
  bool SendHead(std::string_view status, std::string_view headers);

  // Adds body bytes; sends a default "200 OK" head first if none was sent. Bodies of 1xx, 204
  // and 304 responses are dropped. False once the client has gone away.
  bool Write(const void* data, size_t size);

  // Ends the body and sends what is still buffered. False when the client went away at any time.
  bool Finish();

  // Flushes on behalf of the flush timer what was buffered under `generation`. Returns false,
  // without waiting, when the worker holds the writer at that moment; the timer then retries.
  bool TimedFlush(uint64_t generation);

  bool head_sent();
  int status_code();
  // After Finish: whether the connection may carry another request.
  bool keep_alive();

 private:
  enum class Framing { kChunked, kLength, kClose, kNoBody };
  static constexpr size_t kChunkHeaderRoom = 18;  // 16 hex digits and "\r\n"
  static constexpr size_t kNoChunk = static_cast<size_t>(-1);

  bool SendHeadLocked(std::string_view status, std::string_view headers);
  void CloseChunkLocked();
  bool FlushLocked();
  void ArmLocked();

  FlushTimer* const timer_;
  std::mutex mutex_;              // guards everything below and serialises sends on the connection
  ResponseSink* sink_ = nullptr;  // null between responses
  bool http11_ = false;
  bool keep_alive_ = false;
  bool head_sent_ = false;
  bool failed_ = false;
  bool armed_ = false;
  bool sent_any_ = false;  // something of this response has gone out
  int status_code_ = 0;
  Framing framing_ = Framing::kChunked;
  uint64_t length_left_ = 0;  // kLength: body bytes the head announced and not yet written
  uint64_t generation_ = 0;   // counts flushes, so that a stale timer entry flushes nothing
  // Bytes to send from send_from_ on. In kChunked, the chunk being gathered starts at
  // chunk_start_ with kChunkHeaderRoom bytes kept for its size line, then its payload.
  std::string wire_;
  size_t send_from_ = 0;
  size_t chunk_start_ = kNoChunk;
};

}  // namespace sdx::host
