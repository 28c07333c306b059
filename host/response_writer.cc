#include "host/response_writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "host/flush_timer.h"

namespace sdx::host {
namespace {

constexpr std::string_view kDefaultStatus = "200 OK";
constexpr std::string_view kDefaultHeaders = "Content-Type: text/html\r\n";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "<3 digits>" optionally followed by a space and a reason, on one line.
int ParseStatus(std::string_view status) {
  if (status.size() < 3 || !IsDigit(status[0]) || !IsDigit(status[1]) || !IsDigit(status[2])) {
    return 0;
  }
  if (status.size() > 3 && status[3] != ' ') return 0;
  if (status.find_first_of("\r\n") != std::string_view::npos) return 0;
  return (status[0] - '0') * 100 + (status[1] - '0') * 10 + (status[2] - '0');
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// The value of a "Content-Length:" line among `headers`, when the extension framed its body
// itself.
bool FindContentLength(std::string_view headers, uint64_t* length) {
  while (!headers.empty()) {
    size_t end = headers.find('\n');
    std::string_view line = headers.substr(0, end);
    headers = end == std::string_view::npos ? std::string_view() : headers.substr(end + 1);
    if (!StartsWithNoCase(line, "content-length:")) continue;
    line.remove_prefix(15);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), *length);
    return ec == std::errc() && ptr == line.data() + line.size();
  }
  return false;
}

void AppendHex(std::string* out, size_t value) {
  char digits[16];
  auto [end, ec] = std::to_chars(digits, digits + sizeof(digits), value, 16);
  out->append(digits, end);
}

}  // namespace

ResponseWriter::ResponseWriter(FlushTimer* timer) : timer_(timer) {
  wire_.reserve(kFlushThreshold + 64);
}

void ResponseWriter::Begin(ResponseSink* sink, bool http11, bool keep_alive) {
  std::scoped_lock lock(mutex_);
  sink_ = sink;
  http11_ = http11;
  keep_alive_ = keep_alive;
  head_sent_ = false;
  failed_ = false;
  armed_ = false;
  sent_any_ = false;
  status_code_ = 0;
  framing_ = Framing::kChunked;
  length_left_ = 0;
  ++generation_;
  wire_.clear();
  send_from_ = 0;
  chunk_start_ = kNoChunk;
}

bool ResponseWriter::SendHead(std::string_view status, std::string_view headers) {
  std::scoped_lock lock(mutex_);
  return SendHeadLocked(status, headers);
}

bool ResponseWriter::SendHeadLocked(std::string_view status, std::string_view headers) {
  if (sink_ == nullptr || head_sent_ || failed_) return false;
  int code = ParseStatus(status);
  if (code < 100) return false;
  // The head ends with our own framing lines and the empty line, so the extension's closing
  // empty line (and any stray line ends after its last header) go.
  while (!headers.empty() && (headers.back() == '\r' || headers.back() == '\n')) {
    headers.remove_suffix(1);
  }
  uint64_t length = 0;
  if (code < 200 || code == 204 || code == 304) {
    framing_ = Framing::kNoBody;
  } else if (FindContentLength(headers, &length)) {
    framing_ = Framing::kLength;
    length_left_ = length;
  } else if (http11_) {
    framing_ = Framing::kChunked;
  } else {
    framing_ = Framing::kClose;
    keep_alive_ = false;
  }
  wire_.append("HTTP/1.1 ");
  wire_.append(status);
  wire_.append("\r\n");
  if (!headers.empty()) {
    wire_.append(headers);
    wire_.append("\r\n");
  }
  if (framing_ == Framing::kChunked) wire_.append("Transfer-Encoding: chunked\r\n");
  if (!keep_alive_) wire_.append("Connection: close\r\n");
  wire_.append("\r\n");
  head_sent_ = true;
  status_code_ = code;
  ArmLocked();
  return true;
}

bool ResponseWriter::Write(const void* data, size_t size) {
  std::scoped_lock lock(mutex_);
  if (sink_ == nullptr || failed_) return false;
  if (!head_sent_ && !SendHeadLocked(kDefaultStatus, kDefaultHeaders)) return false;
  const char* bytes = static_cast<const char*>(data);
  if (framing_ == Framing::kNoBody) return true;
  if (framing_ == Framing::kLength) {
    // Bytes beyond the announced length would be read as the next response: drop them and
    // let the connection close instead.
    if (size > length_left_) {
      size = static_cast<size_t>(length_left_);
      keep_alive_ = false;
    }
    length_left_ -= size;
  }
  if (size >= kFlushThreshold) {
    // A large piece goes out at once, without being copied into the buffer.
    if (framing_ == Framing::kChunked) {
      CloseChunkLocked();
      AppendHex(&wire_, size);
      wire_.append("\r\n");
    }
    if (!FlushLocked() || !sink_->Send(bytes, size)) {
      failed_ = true;
      keep_alive_ = false;
      return false;
    }
    if (framing_ == Framing::kChunked) wire_.append("\r\n");
    ArmLocked();
    return true;
  }
  if (framing_ == Framing::kChunked && chunk_start_ == kNoChunk) {
    chunk_start_ = wire_.size();
    wire_.append(kChunkHeaderRoom, '0');
  }
  wire_.append(bytes, size);
  if (wire_.size() >= (sent_any_ ? kFlushThreshold : kFirstFlushThreshold)) {
    return FlushLocked();
  }
  ArmLocked();
  return !failed_;
}

bool ResponseWriter::Finish() {
  std::scoped_lock lock(mutex_);
  if (sink_ == nullptr) return false;
  if (framing_ == Framing::kChunked && head_sent_) {
    CloseChunkLocked();
    wire_.append("0\r\n\r\n");
  }
  // A body shorter than its announced length leaves the client waiting for the rest; only
  // closing the connection ends that wait.
  if (framing_ == Framing::kLength && length_left_ > 0) keep_alive_ = false;
  FlushLocked();
  sink_ = nullptr;
  ++generation_;
  // An outsized head may have grown the buffer; the thread keeps it for every later request.
  if (wire_.capacity() > 4 * kFlushThreshold) {
    std::string().swap(wire_);
    wire_.reserve(kFlushThreshold + 64);
  }
  return !failed_;
}

bool ResponseWriter::TimedFlush(uint64_t generation) {
  std::unique_lock lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  if (generation == generation_ && sink_ != nullptr) FlushLocked();
  return true;
}

bool ResponseWriter::head_sent() {
  std::scoped_lock lock(mutex_);
  return head_sent_;
}

int ResponseWriter::status_code() {
  std::scoped_lock lock(mutex_);
  return status_code_;
}

bool ResponseWriter::keep_alive() {
  std::scoped_lock lock(mutex_);
  return keep_alive_ && !failed_;
}

void ResponseWriter::CloseChunkLocked() {
  if (chunk_start_ == kNoChunk) return;
  size_t payload = wire_.size() - chunk_start_ - kChunkHeaderRoom;
  if (payload == 0) {
    // An empty chunk would read as the end of the body.
    wire_.resize(chunk_start_);
    chunk_start_ = kNoChunk;
    return;
  }
  // The size line goes at the end of the room kept before the payload; the bytes before the
  // chunk move up to meet it, so the chunk is framed without copying its payload again.
  char line[kChunkHeaderRoom];
  auto [end, ec] = std::to_chars(line, line + sizeof(line) - 2, payload, 16);
  *end++ = '\r';
  *end++ = '\n';
  size_t line_size = static_cast<size_t>(end - line);
  size_t gap = kChunkHeaderRoom - line_size;
  std::memcpy(wire_.data() + chunk_start_ + gap, line, line_size);
  std::memmove(wire_.data() + send_from_ + gap, wire_.data() + send_from_,
               chunk_start_ - send_from_);
  send_from_ += gap;
  wire_.append("\r\n");
  chunk_start_ = kNoChunk;
}

bool ResponseWriter::FlushLocked() {
  CloseChunkLocked();
  if (wire_.size() > send_from_ && !failed_) {
    sent_any_ = true;
    if (!sink_->Send(wire_.data() + send_from_, wire_.size() - send_from_)) {
      failed_ = true;
      keep_alive_ = false;
    }
  }
  wire_.clear();
  send_from_ = 0;
  armed_ = false;
  ++generation_;
  return !failed_;
}

void ResponseWriter::ArmLocked() {
  if (armed_ || timer_ == nullptr || wire_.size() == send_from_) return;
  armed_ = true;
  timer_->Arm(this, generation_);
}

}  // namespace sdx::host
