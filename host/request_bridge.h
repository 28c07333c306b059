// Carries one HTTP request from civetweb to the extension's HttpExtensionProc: fills the control
// block, reads the body ahead, answers the extension's WriteClient, ReadClient and
// ServerSupportFunction calls, and ends the response. The web host owns one RequestBridge and
// one RequestContext per worker thread.
#pragma once

#include <cstdint>
#include <vector>

#include "host/response_writer.h"
#include "platform/isapi/isapi.h"

struct mg_connection;

namespace sdx::host {

// Bytes of a request body read before the extension is called; it reads the rest itself.
inline constexpr size_t kReadAhead = 48 * 1024;

// A ResponseSink on a civetweb connection.
class ConnectionSink : public ResponseSink {
 public:
  void set_connection(mg_connection* conn) { conn_ = conn; }
  bool Send(const char* data, size_t size) override;

 private:
  mg_connection* conn_ = nullptr;
};

// What one worker thread needs to carry a request, reused from request to request so that a
// page costs no allocation. The control block's connection id points here.
struct RequestContext {
  explicit RequestContext(FlushTimer* timer) : writer(timer) { body.reserve(kReadAhead); }

  mg_connection* conn = nullptr;
  ConnectionSink sink;
  ResponseWriter writer;
  std::vector<uint8_t> body;  // the body read ahead (all of it when it came chunked)
  uint64_t body_left = 0;     // body bytes still unread at the connection
  sdx::isapi::ExtensionControlBlock ecb{};
};

class RequestBridge {
 public:
  // `proc` null: no extension is loaded and every request gets 503.
  RequestBridge(HttpExtensionProcFn proc, uint64_t max_body) : proc_(proc), max_body_(max_body) {}

  // Serves one request to the extension on the calling worker thread and returns the status
  // sent, for the access log.
  int Serve(mg_connection* conn, RequestContext* context);

  // Answers `code` with extra header lines and a short page, and closes the connection.
  static int Refuse(mg_connection* conn, RequestContext* context, int code, const char* headers);

 private:
  // Reads the body ahead into context->body; false (after answering 413) when it is too large.
  bool ReadBodyAhead(mg_connection* conn, RequestContext* context);

  static bool WriteClient(sdx::isapi::ConnectionId conn, const void* buffer, uint32_t* size,
                          uint32_t flags);
  static bool ReadClient(sdx::isapi::ConnectionId conn, void* buffer, uint32_t* size);
  static bool ServerSupportFunction(sdx::isapi::ConnectionId conn, uint32_t request, void* buffer,
                                    uint32_t* size, void* data);

  const HttpExtensionProcFn proc_;
  const uint64_t max_body_;
};

}  // namespace sdx::host
