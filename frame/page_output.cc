#include "frame/page_output.h"

#include "frame/page_tags.h"

namespace sdx {

bool BeginPage(HttpServerContext& context) {
  context.set_send_headers(false);
  return context.SendResponseHeader("200 OK", "Content-Type: text/html\r\n\r\n");
}

bool WriteText(HttpServerContext& context, std::string_view text) {
  return context.WriteClient(text);
}

std::string MessagePage(std::string_view banner, std::string_view message) {
  std::string page(banner);
  ReplaceTag(&page, "<cv_message>", message);
  return page;
}

bool WriteMessagePage(HttpServerContext& context, std::string_view banner,
                      std::string_view message) {
  return WriteText(context, MessagePage(banner, message));
}

}  // namespace sdx
