// Where the settings file lives: the stand-in for the text variable that the paging server's
// shared library exports. Read by the server object's settings, the status-text table and the
// device directory, each time they need it, so that tests may point it elsewhere.
#pragma once

#include <string>

namespace sdx::misc {

// SDX_EVHUB_INI when set and not empty, else "evhub.ini" in the configuration folder.
std::string EVHUB_INI();

}  // namespace sdx::misc
