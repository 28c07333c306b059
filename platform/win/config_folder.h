// The configuration folder, the Linux home of what the Windows folder holds for this system:
// "evhub.ini" named without a folder and the debug window's socket are looked for there.
// SDX_CONFIG_DIR overrides the default so that tests and demos run without touching /etc.
#pragma once

#include <string>

namespace sdx::win {

inline constexpr const char* kDefaultConfigFolder = "/etc/sendrix";

// The value of SDX_CONFIG_DIR when set and not empty, else kDefaultConfigFolder; trailing '/'
// removed (the root folder stays "/"), so that callers add "/name" without doubling it.
std::string ConfigFolder();

}  // namespace sdx::win
