#include "frame/join_repeated_parameters.h"

namespace sdx {

std::string JoinRepeatedParameters(std::string_view text) {
  std::string joined;
  joined.reserve(text.size());
  size_t question = text.find('?');
  if (question != std::string_view::npos) {
    joined.append(text.substr(0, question + 1));
    text.remove_prefix(question + 1);
  }

  bool first_kept = true;
  // The name of the previous piece when it could be joined to; empty otherwise.
  std::string_view previous_name;
  bool previous_joinable = false;
  for (;;) {
    size_t amp = text.find('&');
    std::string_view piece = text.substr(0, amp);
    size_t equals = piece.find('=');
    if (equals == 0) {
      // An empty name: the piece goes, and with it the separator that would precede it.
      previous_joinable = false;
    } else if (equals != std::string_view::npos && previous_joinable &&
               piece.substr(0, equals) == previous_name) {
      joined += ',';
      joined.append(piece.substr(equals + 1));
    } else {
      if (!first_kept) joined += '&';
      joined.append(piece);
      first_kept = false;
      previous_joinable = equals != std::string_view::npos;
      previous_name = piece.substr(0, equals);
    }
    if (amp == std::string_view::npos) break;
    text.remove_prefix(amp + 1);
  }
  return joined;
}

}  // namespace sdx
