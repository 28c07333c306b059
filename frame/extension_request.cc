#include "frame/extension_request.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "frame/error_page.h"
#include "frame/http_server_context.h"

namespace sdx {
namespace {

// The whole body: the bytes the host read ahead, then the rest through ReadClient.
bool ReadBody(isapi::ExtensionControlBlock* ecb, std::string* body) {
  uint32_t ahead = std::min(ecb->available_bytes, ecb->total_bytes);
  if (ahead > 0 && ecb->data == nullptr) return false;
  body->assign(reinterpret_cast<const char*>(ecb->data), ahead);
  char buffer[65536];
  while (body->size() < ecb->total_bytes) {
    if (ecb->ReadClient == nullptr) return false;
    uint32_t size =
        static_cast<uint32_t>(std::min<size_t>(sizeof(buffer), ecb->total_bytes - body->size()));
    if (!ecb->ReadClient(ecb->connection, buffer, &size) || size == 0) return false;
    body->append(buffer, std::min<size_t>(size, sizeof(buffer)));
  }
  return true;
}

}  // namespace

void TrimRequestText(std::string* text) {
  while (text->size() > 1) {
    char last = text->back();
    if (last != ' ' && last != '\r' && last != '\n') break;
    text->pop_back();
  }
}

uint32_t ServeExtensionRequest(isapi::ExtensionControlBlock* ecb, CommandDispatcher* dispatcher) {
  if (ecb == nullptr || ecb->size != sizeof(isapi::ExtensionControlBlock) ||
      ecb->method == nullptr) {
    return isapi::kStatusError;
  }
  // Nothing may escape into the host; running out of memory while reading a body is as much a
  // failed request as a body that does not arrive.
  try {
    const char* query = ecb->query_string != nullptr ? ecb->query_string : "";
    std::string text;
    std::optional<std::string_view> explicit_command;
    uint32_t body_bytes = 0;
    if (std::strcmp(ecb->method, "GET") == 0) {
      text = query;
    } else if (std::strcmp(ecb->method, "POST") == 0) {
      if (!ReadBody(ecb, &text)) return isapi::kStatusError;
      body_bytes = static_cast<uint32_t>(text.size());
      explicit_command = query;
    } else {
      return isapi::kStatusError;
    }
    TrimRequestText(&text);

    HttpServerContext context(ecb);
    int result = ecb->WriteClient == nullptr
                     ? kNoOutput
                     : dispatcher->CallFunction(context, text, explicit_command, body_bytes);
    if (result != kDispatchOk) {
      SendFailure(context, result);
    } else if (context.send_headers()) {
      // A handler that wrote nothing still answers with an empty page rather than no head.
      context.SendResponseHeader(StatusLine(context.status()), "Content-Type: text/html\r\n\r\n");
    }
    ecb->http_status_code = context.status();
    return isapi::kStatusSuccess;
  } catch (...) {
    return isapi::kStatusError;
  }
}

}  // namespace sdx
