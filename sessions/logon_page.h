// The sign-on page (command LogOnOff, and the default command): logon.html with the profiles
// that may sign on, ending the named session first when asked to log off.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frame/http_server_context.h"
#include "sessions/sign_on_services.h"

namespace sdx {

// The option lines of the profile list, one "<option value=\"ID\">NAME</option>\n\r  " per
// "NAME,ID" entry (split at its last comma), in list order; names HTML-escaped.
std::string ProfileOptions(const std::vector<std::string>& sorted_profiles);

// Logs off the session `sid` when `logon` is 0, then writes the sign-on page.
void LogOnOff(HttpServerContext& context, const SignOnServices& services, std::string_view sid,
              int32_t logon);

// The default command: the sign-on page exactly as LogOnOff with SId "0" and Logon 1.
void DefaultPage(HttpServerContext& context, const SignOnServices& services);

}  // namespace sdx
