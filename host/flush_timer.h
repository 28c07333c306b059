// The one thread that sends what a response writer has buffered for a few milliseconds, so that
// a page whose extension pauses between writes still reaches the browser as it grows. Owned by
// the web host; response writers arm it when bytes start waiting in their buffer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace sdx::host {

class ResponseWriter;

class FlushTimer {
 public:
  explicit FlushTimer(std::chrono::microseconds delay);
  FlushTimer(const FlushTimer&) = delete;
  FlushTimer& operator=(const FlushTimer&) = delete;
  // Stops and joins the thread; entries still queued are dropped.
  ~FlushTimer() = default;

  // Asks for writer->TimedFlush(generation) once `delay` has passed. The writer must outlive the
  // timer; the generation makes a flush that the worker has done meanwhile a no-op.
  void Arm(ResponseWriter* writer, uint64_t generation);

 private:
  struct Entry {
    std::chrono::steady_clock::time_point due;
    ResponseWriter* writer;
    uint64_t generation;
  };

  void Run(std::stop_token stop);

  const std::chrono::microseconds delay_;
  std::mutex mutex_;  // guards queue_; never held while a writer is flushed
  std::condition_variable_any wake_;
  std::deque<Entry> queue_;  // in due order: every entry waits the same delay
  std::jthread thread_;      // last, so that it starts after and stops before the rest
};

}  // namespace sdx::host
