// A clock that stands still until a test moves it, for the session tests: expiry and the sweep
// are checked at chosen seconds instead of waiting for real time to pass.
#pragma once

#include <atomic>
#include <cstdint>

#include "sessions/clock.h"

namespace sdx::testing {

class ManualClock : public Clock {
 public:
  int32_t Now() const override { return now_.load(); }
  void Set(int32_t now) { now_.store(now); }

 private:
  std::atomic<int32_t> now_{1000000};
};

}  // namespace sdx::testing
