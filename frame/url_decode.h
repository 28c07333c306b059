// Decoding of text parameter values, as the dispatch hands them to handlers.
#pragma once

#include <string>
#include <string_view>

namespace sdx {

// '+' becomes a blank and '%' with two hexadecimal digits the byte they give. A '%' without
// two hexadecimal digits becomes '?' and the characters examined after it are dropped: the
// first when it is not a digit, both when only the second is not ('%zz' gives '?z').
std::string UrlDecode(std::string_view value);

}  // namespace sdx
