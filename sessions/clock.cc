#include "sessions/clock.h"

#include <ctime>

namespace sdx {

int32_t SystemClock::Now() const { return static_cast<int32_t>(std::time(nullptr)); }

const Clock& RealClock() {
  static const SystemClock clock;
  return clock;
}

}  // namespace sdx
