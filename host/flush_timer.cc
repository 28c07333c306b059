#include "host/flush_timer.h"

#include <algorithm>

#include "host/response_writer.h"

namespace sdx::host {

FlushTimer::FlushTimer(std::chrono::microseconds delay)
    : delay_(delay), thread_([this](std::stop_token stop) { Run(stop); }) {}

void FlushTimer::Arm(ResponseWriter* writer, uint64_t generation) {
  auto due = std::chrono::steady_clock::now() + delay_;
  std::scoped_lock lock(mutex_);
  bool was_empty = queue_.empty();
  queue_.push_back({due, writer, generation});
  // A non-empty queue means the thread already sleeps until an earlier entry.
  if (was_empty) wake_.notify_one();
}

void FlushTimer::Run(std::stop_token stop) {
  std::vector<Entry> due;
  std::vector<Entry> busy;
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested()) {
    if (queue_.empty()) {
      wake_.wait(lock, stop, [this] { return !queue_.empty(); });
      continue;
    }
    // Entries due within half a delay are served together: under load one wake-up flushes a
    // whole burst of responses instead of one wake-up each.
    auto horizon = std::chrono::steady_clock::now() + delay_ / 2;
    if (queue_.front().due > horizon) {
      auto until = queue_.front().due;
      wake_.wait_until(lock, stop, until, [] { return false; });
      continue;
    }
    while (!queue_.empty() && queue_.front().due <= horizon) {
      due.push_back(queue_.front());
      queue_.pop_front();
    }
    lock.unlock();
    for (const Entry& entry : due) {
      if (!entry.writer->TimedFlush(entry.generation)) busy.push_back(entry);
    }
    due.clear();
    lock.lock();
    for (Entry& entry : busy) {
      entry.due = std::chrono::steady_clock::now() + delay_;
      if (!queue_.empty()) entry.due = std::max(entry.due, queue_.back().due);
      queue_.push_back(entry);
    }
    busy.clear();
  }
}

}  // namespace sdx::host
