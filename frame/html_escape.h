// Texts from the tables and from requests on their way into a page: names and filter values
// may hold '<' or '&', which must show as written and never become markup. The system's own
// HTML texts (tags, banners, messages) do not go through it.
#pragma once

#include <string>
#include <string_view>

namespace sdx {

// `text` with &, <, >, " and ' written as character references; every other byte as it is.
std::string HtmlEscape(std::string_view text);

}  // namespace sdx
