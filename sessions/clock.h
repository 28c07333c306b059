// The calendar clock of the system: whole seconds since 1 January 1970, as the 32-bit signed
// times the tables and sessions keep. Session expiry reads it through this interface so that
// tests can move time; SystemClock is the real one.
#pragma once

#include <cstdint>

namespace sdx {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int32_t Now() const = 0;
};

class SystemClock : public Clock {
 public:
  int32_t Now() const override;
};

// The one SystemClock of the process.
const Clock& RealClock();

}  // namespace sdx
