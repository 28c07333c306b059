#include "platform/win/config_folder.h"

#include <cstdlib>

namespace sdx::win {

std::string ConfigFolder() {
  const char* value = std::getenv("SDX_CONFIG_DIR");
  std::string folder = (value != nullptr && value[0] != '\0') ? value : kDefaultConfigFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace sdx::win
