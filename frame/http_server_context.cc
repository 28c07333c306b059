#include "frame/http_server_context.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace sdx {

bool HttpServerContext::SendResponseHeader(std::string_view status_line,
                                           std::string_view header_text) {
  if (ecb_ == nullptr || ecb_->ServerSupportFunction == nullptr) return false;
  std::string status(status_line);
  std::string header(header_text);
  ecb_->http_status_code = static_cast<uint32_t>(std::strtoul(status.c_str(), nullptr, 10));
  uint32_t size = static_cast<uint32_t>(status.size());
  return ecb_->ServerSupportFunction(ecb_->connection, isapi::kReqSendResponseHeader, status.data(),
                                     &size, header.data());
}

bool HttpServerContext::WriteClient(std::string_view bytes) {
  if (ecb_ == nullptr || ecb_->WriteClient == nullptr) return false;
  // The host takes at most 4 GiB per call and may accept less than it was given.
  constexpr size_t kMaxChunk = 1u << 30;
  while (!bytes.empty()) {
    uint32_t size = static_cast<uint32_t>(std::min(bytes.size(), kMaxChunk));
    if (!ecb_->WriteClient(ecb_->connection, bytes.data(), &size, 0) || size == 0) return false;
    bytes.remove_prefix(std::min<size_t>(size, bytes.size()));
  }
  return true;
}

}  // namespace sdx
