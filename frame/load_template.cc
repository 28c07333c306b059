#include "frame/load_template.h"

#include "diagnostics/debug_window.h"
#include "platform/win/whole_file.h"

namespace sdx {
namespace {

constexpr std::string_view kCommentEnd = "***-->";

}  // namespace

std::string TemplateFolder(std::string_view setting) {
  if (!setting.empty() && setting.back() == '\\') setting.remove_suffix(1);
  if (!setting.empty() && setting.back() == '/') setting.remove_suffix(1);
  return std::string(setting);
}

bool LoadTemplate(std::string_view folder, std::string_view file_name, std::string* text) {
  text->clear();
  std::string path = std::string(folder) + "/" + std::string(file_name);
  WriteDebugWindow(path);
  if (!win::ReadWholeFile(path, text)) {
    text->clear();
    WriteDebugWindow("Error opening " + std::string(file_name));
    return false;
  }
  size_t zero = text->find('\0');
  if (zero != std::string::npos) text->resize(zero);
  size_t marker = text->find(kCommentEnd);
  if (marker != std::string::npos) text->erase(0, marker + kCommentEnd.size());
  return true;
}

}  // namespace sdx
