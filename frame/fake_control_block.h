// A stand-in for the web host in the frame's tests: a control block whose WriteClient appends
// to `body`, whose ServerSupportFunction records the head, and whose ReadClient hands out the
// rest of a body in small pieces (or fails, to play a client that went away).
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/isapi/isapi.h"

namespace sdx::testing {

class FakeControlBlock {
 public:
  // A GET with `query`, or a POST of `body_text` to `query` with `read_ahead` bytes already in
  // the block.
  static FakeControlBlock Get(std::string query) {
    FakeControlBlock fake("GET", std::move(query));
    return fake;
  }
  static FakeControlBlock Post(std::string query, std::string body_text, size_t read_ahead) {
    FakeControlBlock fake("POST", std::move(query));
    fake.request_body = std::move(body_text);
    fake.read_ahead = std::min(read_ahead, fake.request_body.size());
    return fake;
  }

  // The block to hand to the extension; valid while this object lives and is not changed.
  isapi::ExtensionControlBlock* ecb() {
    block_ = {};
    block_.size = sizeof(block_);
    block_.connection = this;
    block_.method = method.c_str();
    block_.query_string = query.c_str();
    block_.path_info = "/SdxRemote.dll";
    block_.content_type = "";
    block_.total_bytes = static_cast<uint32_t>(request_body.size());
    block_.available_bytes = static_cast<uint32_t>(read_ahead);
    block_.data = reinterpret_cast<const uint8_t*>(request_body.data());
    block_.WriteClient = &WriteClientFn;
    block_.ReadClient = &ReadClientFn;
    block_.ServerSupportFunction = &ServerSupportFn;
    read_offset_ = read_ahead;
    return &block_;
  }

  std::string method;
  std::string query;
  std::string request_body;
  size_t read_ahead = 0;
  bool fail_reads = false;  // ReadClient refuses, as when the client has gone

  int heads = 0;  // how many heads were sent
  std::string status_line;
  std::string header_text;
  std::string body;

 private:
  FakeControlBlock(std::string method_text, std::string query_text)
      : method(std::move(method_text)), query(std::move(query_text)) {}

  static bool WriteClientFn(isapi::ConnectionId conn, const void* buffer, uint32_t* size,
                            uint32_t) {
    static_cast<FakeControlBlock*>(conn)->body.append(static_cast<const char*>(buffer), *size);
    return true;
  }
  static bool ReadClientFn(isapi::ConnectionId conn, void* buffer, uint32_t* size) {
    auto* self = static_cast<FakeControlBlock*>(conn);
    if (self->fail_reads) return false;
    // Seven bytes at a time, so that reading must loop.
    size_t count = std::min<size_t>({*size, 7, self->request_body.size() - self->read_offset_});
    std::memcpy(buffer, self->request_body.data() + self->read_offset_, count);
    self->read_offset_ += count;
    *size = static_cast<uint32_t>(count);
    return true;
  }
  static bool ServerSupportFn(isapi::ConnectionId conn, uint32_t request, void* buffer, uint32_t*,
                              void* data) {
    auto* self = static_cast<FakeControlBlock*>(conn);
    if (request != isapi::kReqSendResponseHeader) return false;
    ++self->heads;
    self->status_line = static_cast<const char*>(buffer);
    self->header_text = static_cast<const char*>(data);
    return true;
  }

  isapi::ExtensionControlBlock block_{};
  size_t read_offset_ = 0;
};

}  // namespace sdx::testing
