// Reading one template file from the template folder, as the server object does for each of
// its five templates when it is built.
#pragma once

#include <string>
#include <string_view>

namespace sdx {

// The template folder of a `WebTemplates` setting: one trailing '\\' dropped, then one
// trailing '/', so that the paths built from it never double the separator there.
std::string TemplateFolder(std::string_view setting);

// Reads folder + "/" + file_name, writing that path to the debug window. The text ends at the
// file's first zero byte, and loses everything up to and including its first "***-->" (a
// comment for the site's editors). When the file cannot be read: "Error opening <file name>" to
// the debug window, empty text, false.
bool LoadTemplate(std::string_view folder, std::string_view file_name, std::string* text);

}  // namespace sdx
