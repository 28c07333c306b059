// The conversion of long parameters and defaults, in the manner of atol.
#pragma once

#include <cstdint>
#include <string_view>

namespace sdx {

// Leading blanks and one sign allowed, conversion stops at the first non-digit, no digits
// gives 0. Values beyond the 32-bit range give the nearest limit instead of wrapping.
int32_t ParseLong(std::string_view text);

}  // namespace sdx
