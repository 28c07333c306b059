// How every page answers: the response head, the body text, and the message page built from
// the message banner. Page handlers call BeginPage once, then WriteText as often as they like.
#pragma once

#include <string>
#include <string_view>

#include "frame/http_server_context.h"

namespace sdx {

// The banner of every message page; "<cv_message>" takes the message.
inline constexpr std::string_view kMessageBanner =
    "<p><font color='#335d8d' size='5' face='BahamasHeavy'><b><u>Alertweave' </u></b></font>"
    "            <font color='#7196c0' face='BahamasHeavy' size='5'><b><u>Event "
    "Viewer&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<br></u></b></font>            <FONT "
    "FACE='Arial' size='2' ><b><br><cv_message></b></font><br>";

// Sends "200 OK" with "Content-Type: text/html\r\n\r\n" and tells the frame that the page
// sends its own head. The host's answer.
bool BeginPage(HttpServerContext& context);

// Sends all bytes of `text`, zero bytes included, at once; the host's answer.
bool WriteText(HttpServerContext& context, std::string_view text);

// A copy of `banner` with "<cv_message>" replaced by `message` (which may hold HTML).
std::string MessagePage(std::string_view banner, std::string_view message);

// Writes MessagePage(banner, message) with WriteText.
bool WriteMessagePage(HttpServerContext& context, std::string_view banner,
                      std::string_view message);

}  // namespace sdx
