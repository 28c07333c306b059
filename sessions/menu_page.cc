#include "sessions/menu_page.h"

#include <cstdlib>
#include <memory>
#include <string>

#include "frame/html_escape.h"
#include "frame/page_output.h"
#include "frame/page_tags.h"
#include "sessions/sha1_digest.h"

namespace sdx {
namespace {

// Shown when no session can be made at all (the system's random source failed); the
// operator may simply try again.
constexpr std::string_view kNoSessionMessage = "ERROR:<br>No session could be started.<br>";

// atof and atol want a terminated text; request parameters are views.
double ReadDouble(std::string_view text) { return std::atof(std::string(text).c_str()); }
long ReadLong(std::string_view text) { return std::atol(std::string(text).c_str()); }

// Whether the sign-on of `session` for profile `profile_id` with digest `password` is accepted;
// sets the session's Name from the profile. A profile id with no Personnel row is refused:
// otherwise its empty password would let anyone in under an empty name.
bool CheckPassword(const SignOnServices& services, WebSession* session, double profile_id,
                   std::string_view password) {
  PersonRecord record;
  if (!services.find_profile(profile_id, &record)) return false;
  session->Set(&WebSessionValues::Name, std::string(record.NAME));
  // A profile without a password signs on with any digest.
  if (record.PASSWORD[0] == '\0') return true;
  return PasswordDigestText(record.PASSWORD) == password;
}

std::string MenuPage(const SignOnServices& services, const WebSession& session) {
  const std::string& id = session.id();
  std::string page = services.templates->GetTemplateText(kMenuTemplate);
  ReplaceTag(&page, "<cv_name>", HtmlEscape(session.Get(&WebSessionValues::Name)));
  ReplaceTag(&page, "<cv_sessionid>", id);
  ReplaceTag(&page, "<cv_menu>",
             "<font face='Arial' size='2'><b><a href='http:SdxRemote.dll?EventFilter&SId=" + id +
                 "'>Event Viewer</a></b></font>");
  return page;
}

}  // namespace

void AlertweaveMenu(HttpServerContext& context, const SignOnServices& services,
                    std::string_view sid, std::string_view profile_id_text,
                    std::string_view password) {
  services.trace("AlertweaveMenu!");
  const double profile_id = ReadDouble(profile_id_text);
  BeginPage(context);
  if (profile_id == 0 && ReadLong(sid) == 0) {
    WriteMessagePage(context, kMessageBanner, kNoProfileMessage);
    return;
  }

  std::shared_ptr<WebSession> session;
  // A dead session has had its timed-out page; the request then goes on as a fresh sign-on.
  if (sid != "0") session = services.sessions->ValidateSession(context, sid);
  const bool signed_on = session != nullptr && session->Get(&WebSessionValues::SignedOn) == 1;
  if (session == nullptr) {
    session = services.sessions->CreateSession();
    if (session == nullptr) {
      WriteMessagePage(context, kMessageBanner, kNoSessionMessage);
      return;
    }
  }
  if (!signed_on) {
    // A refused sign-on leaves the session unsigned; its id never reaches the browser.
    if (!CheckPassword(services, session.get(), profile_id, password)) {
      WriteMessagePage(context, kMessageBanner, kWrongPasswordMessage);
      return;
    }
    session->Set(&WebSessionValues::SignedOn, 1);
  }
  // Also for a session signed on before: it acts for the profile the request names.
  session->Set(&WebSessionValues::ProfileId, profile_id);
  WriteText(context, MenuPage(services, *session));
}

}  // namespace sdx
