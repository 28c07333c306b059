// Session ids: the text key under which the session table keeps a session and which every link
// carries as SId. Decimal digits, as the pages expect, drawn from the kernel's cryptographic
// random source so that nobody can guess the id of a live session.
#pragma once

#include <string>

namespace sdx {

// 18 decimal digits, the first not 0 (so the id never reads as the number 0, which means "no
// session", and fits a 64-bit integer); empty when the random source fails.
std::string NewSessionId();

}  // namespace sdx
