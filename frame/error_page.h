// The answer of the dispatch when no handler could run or a handler threw: the HTTP status of
// the failure code and a short error page (none for 204).
#pragma once

#include <cstdint>
#include <string>

#include "frame/http_server_context.h"

namespace sdx {

// 400 for codes 2 and 8, 501 for 3, 204 for 5, 500 for anything else.
uint32_t HttpStatusOfFailure(int failure_code);

// "400 Bad Request" and so on; the bare number for a status we never send ourselves.
std::string StatusLine(uint32_t status);

// Sets the context's status from the failure unless the handler changed it already, then
// sends the head (unless the page sent its own) and the error page.
void SendFailure(HttpServerContext& context, int failure_code);

}  // namespace sdx
