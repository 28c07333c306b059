// DemoRandom: the simulator's random numbers, the same sequence for the same seed on every
// machine and library (the standard distributions are not), so that a demo folder can be made
// again exactly.
#pragma once

#include <cstdint>

namespace sdx::sim {

class DemoRandom {
 public:
  explicit DemoRandom(uint64_t seed) : state_(seed) {}

  // splitmix64.
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number in [0, bound); bound > 0.
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
  // A number in [low, high].
  int32_t Between(int32_t low, int32_t high) {
    return low + static_cast<int32_t>(Below(static_cast<uint32_t>(high - low + 1)));
  }
  // True with probability percent / 100.
  bool Percent(uint32_t percent) { return Below(100) < percent; }

 private:
  uint64_t state_;
};

}  // namespace sdx::sim
