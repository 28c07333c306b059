#include "sessions/session_sweep_thread.h"

namespace sdx {

SessionSweepThread::SessionSweepThread(SessionTable* table, std::chrono::milliseconds interval)
    : table_(table), interval_(interval) {}

SessionSweepThread::~SessionSweepThread() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

void SessionSweepThread::Start() {
  if (thread_.joinable()) {
    return;
  }
  finished_ = false;
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

bool SessionSweepThread::Stop(std::chrono::milliseconds limit) {
  if (!thread_.joinable()) {
    return true;
  }
  thread_.request_stop();
  {
    std::unique_lock lock(mutex_);
    if (!wake_.wait_for(lock, limit, [this] { return finished_; })) {
      return false;
    }
  }
  thread_.join();
  return true;
}

void SessionSweepThread::Run(std::stop_token stop) {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      // Ends at once on the stop request; otherwise only when the interval is over.
      wake_.wait_for(lock, stop, interval_, [] { return false; });
      if (stop.stop_requested()) {
        break;
      }
    }
    table_->CheckSessions();
  }
  std::scoped_lock lock(mutex_);
  finished_ = true;
  wake_.notify_all();
}

}  // namespace sdx
