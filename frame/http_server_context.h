// One request as a handler sees it: the host's control block, the HTTP status the frame will
// report, and whether the frame still has to send a response head. The dispatch builds one per
// request and hands it to the handler; it lives until the request ends.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/isapi/isapi.h"

namespace sdx {

class HttpServerContext {
 public:
  explicit HttpServerContext(isapi::ExtensionControlBlock* ecb) : ecb_(ecb) {}
  HttpServerContext(const HttpServerContext&) = delete;
  HttpServerContext& operator=(const HttpServerContext&) = delete;

  isapi::ExtensionControlBlock* ecb() const { return ecb_; }

  // Preset to 200; a failure of the dispatch changes it only while it is still 200.
  uint32_t status() const { return status_; }
  void set_status(uint32_t status) { status_ = status; }

  // True until a page sends its own head (BeginPage); the frame then sends none itself.
  bool send_headers() const { return send_headers_; }
  void set_send_headers(bool send) { send_headers_ = send; }

  // Asks the host to send the head (request kReqSendResponseHeader): `status_line` such as
  // "200 OK", `header_text` the header lines and the empty line that ends them. Notes the
  // status in the control block for the host's access log. The host's answer.
  bool SendResponseHeader(std::string_view status_line, std::string_view header_text);

  // Hands every byte of `bytes` to the host's WriteClient, synchronously; false as soon as the
  // host refuses (the client has gone away).
  bool WriteClient(std::string_view bytes);

 private:
  isapi::ExtensionControlBlock* ecb_;
  uint32_t status_ = isapi::kHttpOk;
  bool send_headers_ = true;
};

}  // namespace sdx
