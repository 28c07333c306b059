#include "host/request_bridge.h"

#include <civetweb.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace sdx::host {
namespace {

using sdx::isapi::ExtensionControlBlock;

constexpr size_t kChunkedReadStep = 16 * 1024;

const char* ReasonPhrase(int code) {
  switch (code) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Payload Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    default:
      return code < 400 ? "OK" : code < 500 ? "Client Error" : "Server Error";
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && mg_strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Whether the comma-separated header value holds `token`, as "Connection: keep-alive, close".
bool HasToken(const char* value, std::string_view token) {
  if (value == nullptr) return false;
  std::string_view rest = value;
  while (!rest.empty()) {
    size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (EqualsNoCase(item, token)) return true;
  }
  return false;
}

bool IsHttp11(const mg_request_info* info) {
  return info->http_version != nullptr && std::strcmp(info->http_version, "1.1") == 0;
}

bool BodyIsChunked(mg_connection* conn) {
  return HasToken(mg_get_header(conn, "Transfer-Encoding"), "chunked");
}

// Starts the response of the current request on `context`'s writer.
void BeginResponse(mg_connection* conn, RequestContext* context, bool force_close) {
  const mg_request_info* info = mg_get_request_info(conn);
  bool http11 = IsHttp11(info);
  bool keep_alive = http11 && !force_close && !HasToken(mg_get_header(conn, "Connection"), "close");
  context->conn = conn;
  context->sink.set_connection(conn);
  context->writer.Begin(&context->sink, http11, keep_alive);
}

// Sends `code` with its reason, `headers` and a short page; EndResponse finishes it.
void SendStatusPage(RequestContext* context, int code, const char* headers) {
  std::string status = std::to_string(code) + " " + ReasonPhrase(code);
  std::string head = std::string(headers) + "Content-Type: text/html\r\n";
  std::string page = "<html><head><title>" + status + "</title></head><body><h1>" + status +
                     "</h1></body></html>\n";
  context->writer.SendHead(status, head);
  context->writer.Write(page.data(), page.size());
}

int EndResponse(mg_connection* conn, RequestContext* context) {
  context->writer.Finish();
  if (!context->writer.keep_alive()) mg_disable_connection_keep_alive(conn);
  // A chunked upload may have grown the buffer far beyond the read-ahead; give that back.
  if (context->body.capacity() > 2 * kReadAhead) {
    std::vector<uint8_t>().swap(context->body);
    context->body.reserve(kReadAhead);
  }
  context->conn = nullptr;
  context->sink.set_connection(nullptr);
  int code = context->writer.status_code();
  return code > 0 ? code : 500;
}

size_t ReadFully(mg_connection* conn, uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    int n = mg_read(conn, buffer + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

bool ConnectionSink::Send(const char* data, size_t size) {
  if (conn_ == nullptr) return false;
  return mg_write(conn_, data, size) == static_cast<int>(size);
}

int RequestBridge::Refuse(mg_connection* conn, RequestContext* context, int code,
                          const char* headers) {
  BeginResponse(conn, context, true);
  SendStatusPage(context, code, headers);
  return EndResponse(conn, context);
}

int RequestBridge::Serve(mg_connection* conn, RequestContext* context) {
  const mg_request_info* info = mg_get_request_info(conn);
  std::string_view method = info->request_method != nullptr ? info->request_method : "";
  bool has_body = info->content_length > 0 || BodyIsChunked(conn);
  if (proc_ == nullptr) return Refuse(conn, context, 503, "");
  if (method != "GET" && method != "POST") {
    // An unread body would have to be drained before the next request; closing is cheaper.
    BeginResponse(conn, context, has_body);
    SendStatusPage(context, 405, "Allow: GET, POST\r\n");
    return EndResponse(conn, context);
  }
  if (!ReadBodyAhead(conn, context)) return 413;

  BeginResponse(conn, context, false);
  ExtensionControlBlock& ecb = context->ecb;
  ecb = ExtensionControlBlock{};
  ecb.size = sizeof(ExtensionControlBlock);
  ecb.connection = context;
  ecb.http_status_code = sdx::isapi::kHttpOk;
  ecb.method = info->request_method;
  ecb.query_string = info->query_string != nullptr ? info->query_string : "";
  ecb.path_info = info->local_uri != nullptr ? info->local_uri : "";
  const char* content_type = mg_get_header(conn, "Content-Type");
  ecb.content_type = content_type != nullptr ? content_type : "";
  ecb.total_bytes = static_cast<uint32_t>(context->body.size() + context->body_left);
  ecb.available_bytes = static_cast<uint32_t>(context->body.size());
  ecb.data = context->body.data();
  ecb.WriteClient = &RequestBridge::WriteClient;
  ecb.ReadClient = &RequestBridge::ReadClient;
  ecb.ServerSupportFunction = &RequestBridge::ServerSupportFunction;

  uint32_t result = sdx::isapi::kStatusError;
  try {
    result = proc_(&ecb);
  } catch (...) {
    // The entry point is C; an exception that leaks through it still must not end the host.
    result = sdx::isapi::kStatusError;
  }
  if (!context->writer.head_sent()) {
    int code = static_cast<int>(ecb.http_status_code);
    if (code < 100 || code > 599) code = 500;
    if (result == sdx::isapi::kStatusError && code < 400) code = 500;
    SendStatusPage(context, code, "");
  }
  return EndResponse(conn, context);
}

bool RequestBridge::ReadBodyAhead(mg_connection* conn, RequestContext* context) {
  const mg_request_info* info = mg_get_request_info(conn);
  context->body.clear();
  context->body_left = 0;
  bool chunked = info->content_length < 0 && BodyIsChunked(conn);
  uint64_t length = info->content_length > 0 ? static_cast<uint64_t>(info->content_length) : 0;
  if (length > max_body_) {
    Refuse(conn, context, 413, "");
    return false;
  }
  if (length == 0 && !chunked) return true;
  // civetweb leaves the interim answer to whoever reads the body.
  if (IsHttp11(info) && HasToken(mg_get_header(conn, "Expect"), "100-continue")) {
    static constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
    mg_write(conn, kContinue, sizeof(kContinue) - 1);
  }
  if (!chunked) {
    size_t ahead = static_cast<size_t>(std::min<uint64_t>(length, kReadAhead));
    context->body.resize(ahead);
    size_t got = ReadFully(conn, context->body.data(), ahead);
    context->body.resize(got);
    context->body_left = length - got;
    return true;
  }
  // A chunked body announces no length: read it all, so that the extension sees its size.
  for (;;) {
    size_t old_size = context->body.size();
    context->body.resize(old_size + kChunkedReadStep);
    int n = mg_read(conn, context->body.data() + old_size, kChunkedReadStep);
    context->body.resize(old_size + static_cast<size_t>(std::max(n, 0)));
    if (n <= 0) return true;
    if (context->body.size() > max_body_) {
      Refuse(conn, context, 413, "");
      return false;
    }
  }
}

bool RequestBridge::WriteClient(sdx::isapi::ConnectionId conn, const void* buffer, uint32_t* size,
                                uint32_t flags) {
  if (size == nullptr || (buffer == nullptr && *size > 0)) return false;
  auto* context = static_cast<RequestContext*>(conn);
  if (context->writer.Write(buffer, *size)) return true;
  *size = 0;
  return false;
}

bool RequestBridge::ReadClient(sdx::isapi::ConnectionId conn, void* buffer, uint32_t* size) {
  if (size == nullptr || (buffer == nullptr && *size > 0)) return false;
  auto* context = static_cast<RequestContext*>(conn);
  uint64_t want = std::min<uint64_t>(*size, context->body_left);
  if (want == 0) {
    *size = 0;
    return true;
  }
  int n = mg_read(context->conn, buffer, static_cast<size_t>(want));
  if (n <= 0) {
    // The client closed before sending the whole body.
    *size = 0;
    return false;
  }
  context->body_left -= static_cast<uint64_t>(n);
  *size = static_cast<uint32_t>(n);
  return true;
}

bool RequestBridge::ServerSupportFunction(sdx::isapi::ConnectionId conn, uint32_t request,
                                          void* buffer, uint32_t* size, void* data) {
  if (request != sdx::isapi::kReqSendResponseHeader) return false;
  auto* context = static_cast<RequestContext*>(conn);
  // The status text ends at its zero byte or after `*size` bytes, whichever comes first.
  std::string_view status;
  if (buffer != nullptr) {
    const char* text = static_cast<const char*>(buffer);
    status = size != nullptr && *size > 0 ? std::string_view(text, strnlen(text, *size))
                                          : std::string_view(text);
  }
  const char* headers = data != nullptr ? static_cast<const char*>(data) : "";
  return context->writer.SendHead(status.empty() ? "200 OK" : status, headers);
}

}  // namespace sdx::host
