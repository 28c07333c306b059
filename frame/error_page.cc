#include "frame/error_page.h"

#include "frame/command_dispatcher.h"

namespace sdx {

uint32_t HttpStatusOfFailure(int failure_code) {
  switch (failure_code) {
    case kBadParamCount:
    case kBadParam:
      return isapi::kHttpBadRequest;
    case kNoSuchCommand:
      return isapi::kHttpNotImplemented;
    case kNoOutput:
      return isapi::kHttpNoContent;
    default:
      return isapi::kHttpServerError;
  }
}

std::string StatusLine(uint32_t status) {
  switch (status) {
    case isapi::kHttpOk:
      return "200 OK";
    case isapi::kHttpNoContent:
      return "204 No Content";
    case isapi::kHttpBadRequest:
      return "400 Bad Request";
    case isapi::kHttpServerError:
      return "500 Internal Server Error";
    case isapi::kHttpNotImplemented:
      return "501 Not Implemented";
    default:
      return std::to_string(status);
  }
}

void SendFailure(HttpServerContext& context, int failure_code) {
  if (context.status() == isapi::kHttpOk) context.set_status(HttpStatusOfFailure(failure_code));
  std::string status = StatusLine(context.status());
  bool has_body = context.status() != isapi::kHttpNoContent;
  if (context.send_headers()) {
    context.set_send_headers(false);
    context.SendResponseHeader(status, has_body ? "Content-Type: text/html\r\n\r\n" : "\r\n");
  }
  if (context.ecb() != nullptr) context.ecb()->http_status_code = context.status();
  // After a page's own head the text ends up below whatever the page wrote, which at least
  // tells the reader that the page is incomplete.
  if (has_body) {
    context.WriteClient("<html><head><title>" + status + "</title></head><body><h1>" + status +
                        "</h1><p>SdxRemote could not answer this request.</p></body></html>\r\n");
  }
}

}  // namespace sdx
