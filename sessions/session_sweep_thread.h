// The session sweep thread: runs CheckSessions on the session table once a minute, from one
// minute after Start, until Stop. The server object owns it: started by GetExtensionVersion,
// stopped by TerminateExtension before the table is emptied.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include "sessions/session_table.h"

namespace sdx {

class SessionSweepThread {
 public:
  static constexpr std::chrono::milliseconds kSweepInterval{60000};

  explicit SessionSweepThread(SessionTable* table,
                              std::chrono::milliseconds interval = kSweepInterval);
  // Stops the thread and waits for it, however long a running sweep takes.
  ~SessionSweepThread();
  SessionSweepThread(const SessionSweepThread&) = delete;
  SessionSweepThread& operator=(const SessionSweepThread&) = delete;

  void Start();

  // Ends the thread: a waiting thread ends at once, a sweeping one after its sweep, and no
  // further sweep starts. Waits at most `limit`; true when the thread has ended by then. A
  // thread still sweeping is joined by the destructor, never left to run on its own.
  bool Stop(std::chrono::milliseconds limit);

 private:
  void Run(std::stop_token stop);

  SessionTable* const table_;
  const std::chrono::milliseconds interval_;
  std::mutex mutex_;                  // guards the waits and finished_
  std::condition_variable_any wake_;  // the stop request and the end of the thread
  bool finished_ = false;
  std::jthread thread_;
};

}  // namespace sdx
