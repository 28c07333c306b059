#include "discmenu/module_list.h"

#include <filesystem>
#include <system_error>

namespace sdx::discmenu {

std::string JoinCommandLine(int argc, const char* const* argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

std::string ModuleListSource(std::string_view command_line) {
  std::string path(command_line);
  path += "/cv_mod.txt";
  return path;
}

std::string ModuleListDestination(std::string_view current_folder) {
  std::string path(current_folder);
  path += "/Product/cv_mod.txt";
  return path;
}

bool CopyModuleList(std::string_view command_line, std::string_view current_folder) {
  namespace fs = std::filesystem;
  const fs::path source = ModuleListSource(command_line);
  std::error_code error;
  // Only a regular file is a module list; copying a folder or a device is no copy at all.
  if (!fs::is_regular_file(source, error)) return false;
  return fs::copy_file(source, ModuleListDestination(current_folder),
                       fs::copy_options::overwrite_existing, error) &&
         !error;
}

}  // namespace sdx::discmenu
