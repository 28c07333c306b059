#include "platform/misc/evhub_ini.h"

#include <cstdlib>

#include "platform/win/config_folder.h"

namespace sdx::misc {

std::string EVHUB_INI() {
  // getenv is safe against other readers; nobody in the process sets the variable while
  // serving.
  const char* value = std::getenv("SDX_EVHUB_INI");
  if (value != nullptr && value[0] != '\0') return value;
  return sdx::win::ConfigFolder() + "/evhub.ini";
}

}  // namespace sdx::misc
