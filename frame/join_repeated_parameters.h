// The joining step of the dispatch: neighbouring pieces with the same name become one piece
// whose value lists the values separated by commas, so that a multiple-choice form field, which
// a browser sends as one pair per chosen item, arrives as one parameter.
#pragma once

#include <string>
#include <string_view>

namespace sdx {

// Returns the joined copy of `text`. Everything up to and including the first '?' is copied
// as it is. Of the rest, split at '&': a name=value piece whose name is byte for byte the name
// of the piece just before it adds ',' and its value to that piece ('n=a&n=b' gives 'n=a,b');
// a piece that starts with '=' is dropped with its separator; a piece without '=' is copied
// and joins with nothing, before or after.
std::string JoinRepeatedParameters(std::string_view text);

}  // namespace sdx
