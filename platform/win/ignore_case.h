// Name comparison as the platform does it for settings keys, section names, commands and
// parameter names: ASCII letters without regard to case, every other byte as it is.
#pragma once

#include <string_view>

namespace sdx::win {

bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace sdx::win
