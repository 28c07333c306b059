// The menu page (command AlertweaveMenu): where the sign-on form sends the chosen profile and
// the password digest. It checks them, makes the session and shows menu.html with the link to
// the event filter; a signed-on session gets the menu again without a password.
#pragma once

#include <string_view>

#include "frame/http_server_context.h"
#include "sessions/sign_on_services.h"

namespace sdx {

inline constexpr std::string_view kNoProfileMessage = "ERROR:<br>A profile must be selected.<br>";
inline constexpr std::string_view kWrongPasswordMessage = "Incorrect Password, access denied";

void AlertweaveMenu(HttpServerContext& context, const SignOnServices& services,
                    std::string_view sid, std::string_view profile_id, std::string_view password);

}  // namespace sdx
