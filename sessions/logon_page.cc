#include "sessions/logon_page.h"

#include "frame/html_escape.h"
#include "frame/page_output.h"
#include "frame/page_tags.h"

namespace sdx {

std::string ProfileOptions(const std::vector<std::string>& sorted_profiles) {
  std::string options;
  for (const std::string& entry : sorted_profiles) {
    // The id is the part after the last comma, so a comma inside a name does no harm.
    const size_t comma = entry.rfind(',');
    const std::string_view name = comma == std::string::npos
                                      ? std::string_view(entry)
                                      : std::string_view(entry).substr(0, comma);
    const std::string_view id =
        comma == std::string::npos ? std::string_view() : std::string_view(entry).substr(comma + 1);
    options += "<option value=\"";
    options += HtmlEscape(id);
    options += "\">";
    options += HtmlEscape(name);
    options += "</option>\n\r  ";
  }
  return options;
}

void LogOnOff(HttpServerContext& context, const SignOnServices& services, std::string_view sid,
              int32_t logon) {
  services.trace("LogOnOff!");
  if (logon == 0) services.sessions->EndSession(sid);

  std::string page = services.templates->GetTemplateText(kLogonTemplate);
  const std::string options = ProfileOptions(services.sorted_profiles());
  // A template without the insertion point gets the options at its very start.
  if (!InsertBeforeTag(&page, kNextRowTag, options)) page.insert(0, options);
  ReplaceTag(&page, "<cv_sid>", "0");
  ReplaceTag(&page, "<cv_version>", "v" + services.version_text);

  BeginPage(context);
  WriteText(context, page);
  services.trace("Exit LogOnOff!");
}

void DefaultPage(HttpServerContext& context, const SignOnServices& services) {
  LogOnOff(context, services, "0", 1);
}

}  // namespace sdx
