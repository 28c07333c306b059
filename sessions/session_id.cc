#include "sessions/session_id.h"

#include <errno.h>
#include <sys/random.h>

#include <cstdint>

namespace sdx {

namespace {

constexpr uint64_t kLowest = 100000000000000000ull;  // 10^17, the smallest 18-digit number
constexpr uint64_t kRange = 9 * kLowest;             // every 18-digit number
// Random values at or above this are drawn again, so that every id is equally likely.
constexpr uint64_t kUnbiasedLimit = UINT64_MAX - UINT64_MAX % kRange;

bool RandomWord(uint64_t* word) {
  for (;;) {
    const ssize_t n = getrandom(word, sizeof(*word), 0);
    if (n == static_cast<ssize_t>(sizeof(*word))) {
      return true;
    }
    if (n < 0 && errno != EINTR) {
      return false;
    }
  }
}

}  // namespace

std::string NewSessionId() {
  uint64_t word = 0;
  do {
    if (!RandomWord(&word)) {
      return std::string();
    }
  } while (word >= kUnbiasedLimit);
  return std::to_string(kLowest + word % kRange);
}

}  // namespace sdx
