#include "sessions/session_sweep_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "sessions/manual_clock.h"

namespace sdx {
namespace {

using std::chrono::milliseconds;
using testing::ManualClock;

constexpr milliseconds kGenerous{20000};

// Counts the sweeps by their first trace line and can hold a sweep inside CheckSessions.
class SweepProbe {
 public:
  void Trace(std::string_view line) {
    std::unique_lock lock(mutex_);
    if (line == "Checking sessions...") {
      ++sweeps_;
      changed_.notify_all();
      changed_.wait(lock, [this] { return !hold_; });
    }
  }
  void Hold(bool hold) {
    std::scoped_lock lock(mutex_);
    hold_ = hold;
    changed_.notify_all();
  }
  bool WaitForSweeps(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kGenerous, [&] { return sweeps_ >= count; });
  }
  int sweeps() {
    std::scoped_lock lock(mutex_);
    return sweeps_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int sweeps_ = 0;
  bool hold_ = false;
};

class SessionSweepThreadTest : public ::testing::Test {
 protected:
  std::mutex server_lock_;
  ManualClock clock_;
  SweepProbe probe_;
  SessionTable table_{&server_lock_, &clock_,
                      [this](std::string_view line) { probe_.Trace(line); }};
};

TEST_F(SessionSweepThreadTest, StopEndsTheWaitAtOnce) {
  SessionSweepThread sweep(&table_);
  sweep.Start();
  // The first sweep is a minute away; only the stop request can end the wait before that.
  EXPECT_TRUE(sweep.Stop(kGenerous));
  EXPECT_EQ(probe_.sweeps(), 0);
  EXPECT_TRUE(sweep.Stop(kGenerous));
}

TEST_F(SessionSweepThreadTest, StopWithoutStart) {
  SessionSweepThread sweep(&table_);
  EXPECT_TRUE(sweep.Stop(milliseconds(0)));
}

TEST_F(SessionSweepThreadTest, SweepsRemoveExpiredSessions) {
  table_.set_timeout(600);
  auto session = table_.CreateSession();
  clock_.Set(clock_.Now() + 601);
  SessionSweepThread sweep(&table_, milliseconds(1));
  sweep.Start();
  ASSERT_TRUE(probe_.WaitForSweeps(3));
  EXPECT_EQ(table_.size(), 0u);
  EXPECT_TRUE(sweep.Stop(kGenerous));
}

TEST_F(SessionSweepThreadTest, ARunningSweepFinishesAndNoOtherStarts) {
  probe_.Hold(true);
  {
    SessionSweepThread sweep(&table_, milliseconds(1));
    sweep.Start();
    ASSERT_TRUE(probe_.WaitForSweeps(1));
    // The sweep is inside CheckSessions: the stop cannot end it within the limit.
    EXPECT_FALSE(sweep.Stop(milliseconds(10)));
    probe_.Hold(false);
  }  // joined here, after the held sweep
  EXPECT_EQ(probe_.sweeps(), 1);
}

}  // namespace
}  // namespace sdx
