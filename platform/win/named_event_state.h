// The shared-memory layout of a named event, the same in every process that opens it: a flag
// guarded by a robust process-shared mutex, with a condition variable for its waiters.
#pragma once

#include <pthread.h>

#include <cstdint>

namespace sdx::win {

struct NamedEventState {
  pthread_mutex_t mutex;   // robust, process-shared; guards signalled
  pthread_cond_t changed;  // process-shared, on the monotonic clock; broadcast on every Set
  uint32_t manual_reset;   // fixed by the creator: 1 manual reset, 0 auto reset
  uint32_t signalled;      // 1 while the event is set
};

}  // namespace sdx::win
