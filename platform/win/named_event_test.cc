#include "platform/win/named_event.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/win/named_object_test_util.h"

namespace sdx::win {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kLongWait{60000};  // only ever reached when something is broken

// Starts `count` processes that each open the event and wait for it, exiting 0 when it was
// signalled; returns once all have opened it (empty if that failed).
std::vector<pid_t> StartWaiters(const std::string& name, int count) {
  int ready[2];
  if (pipe(ready) != 0) {
    return {};
  }
  std::vector<pid_t> waiters;
  for (int i = 0; i < count; ++i) {
    waiters.push_back(StartChild([&] {
      NamedEvent theirs;
      if (theirs.Open(name) != 0 || write(ready[1], "r", 1) != 1) {
        return 1;
      }
      return theirs.Wait(kLongWait) == WaitResult::kSignaled ? 0 : 2;
    }));
  }
  char byte;
  for (int i = 0; i < count; ++i) {
    if (read(ready[0], &byte, 1) != 1) {
      waiters.clear();
    }
  }
  close(ready[0]);
  close(ready[1]);
  return waiters;
}

TEST(NamedEventTest, EventMadeByAnotherProcessKeepsItsState) {
  for (bool server_state : {false, true}) {
    SCOPED_TRACE(server_state);
    TestObjectName name;
    // The paging server came first and left the event in its own state.
    const pid_t server = StartChild([&] {
      NamedEvent event;
      return event.CreateOrOpen(name.get(), EventReset::kManual, server_state,
                                ObjectSecurity::kOpen) == 0 &&
                     event.created()
                 ? 0
                 : 1;
    });
    ASSERT_EQ(WaitChild(server), 0);

    NamedEvent event;
    ASSERT_EQ(
        event.CreateOrOpen(name.get(), EventReset::kManual, !server_state, ObjectSecurity::kOpen),
        0);
    EXPECT_FALSE(event.created());
    EXPECT_EQ(event.IsSet(), server_state);
  }
}

TEST(NamedEventTest, SetAndResetInOneProcessAreSeenInAnother) {
  TestObjectName name;
  NamedEvent event;
  ASSERT_EQ(event.CreateOrOpen(name.get(), EventReset::kManual, false, ObjectSecurity::kOpen), 0);
  EXPECT_TRUE(event.created());
  EXPECT_FALSE(event.IsSet());

  for (bool set : {true, false, true}) {
    const pid_t other = StartChild([&] {
      NamedEvent theirs;
      if (theirs.Open(name.get()) != 0) {
        return 1;
      }
      return (set ? theirs.Set() : theirs.Reset()) ? 0 : 1;
    });
    ASSERT_EQ(WaitChild(other), 0);
    EXPECT_EQ(event.IsSet(), set);
  }
  // A manual-reset event stays set through any number of waits.
  EXPECT_EQ(event.Wait(milliseconds(0)), WaitResult::kSignaled);
  EXPECT_EQ(event.Wait(milliseconds(0)), WaitResult::kSignaled);
  EXPECT_TRUE(event.IsSet());
}

TEST(NamedEventTest, WaitersInOtherProcessesWakeWhenSet) {
  TestObjectName name;
  NamedEvent event;
  ASSERT_EQ(event.CreateOrOpen(name.get(), EventReset::kManual, false, ObjectSecurity::kOpen), 0);
  constexpr int kWaiters = 3;
  const std::vector<pid_t> waiters = StartWaiters(name.get(), kWaiters);
  ASSERT_EQ(waiters.size(), size_t{kWaiters});
  EXPECT_TRUE(event.Set());
  for (pid_t waiter : waiters) {
    EXPECT_EQ(WaitChild(waiter), 0);
  }
}

TEST(NamedEventTest, AutoResetEventReleasesOneWaiterPerSet) {
  TestObjectName name;
  NamedEvent event;
  ASSERT_EQ(event.CreateOrOpen(name.get(), EventReset::kAuto, true, ObjectSecurity::kOpen), 0);
  EXPECT_FALSE(event.manual_reset());
  EXPECT_TRUE(event.IsSet());  // looking does not take the signal
  EXPECT_EQ(event.Wait(milliseconds(0)), WaitResult::kSignaled);
  EXPECT_EQ(event.Wait(milliseconds(0)), WaitResult::kTimeout);

  constexpr int kWaiters = 2;
  ASSERT_EQ(StartWaiters(name.get(), kWaiters).size(), size_t{kWaiters});
  // One set per waiter: if a set released both, the second would be left over.
  for (int i = 0; i < kWaiters; ++i) {
    ASSERT_TRUE(event.Set());
    int status = 0;
    const pid_t ended = waitpid(-1, &status, 0);
    ASSERT_GT(ended, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_FALSE(event.IsSet());
}

TEST(NamedEventTest, WaitOnAnUnsetEventTimesOut) {
  TestObjectName name;
  NamedEvent event;
  ASSERT_EQ(event.CreateOrOpen(name.get(), EventReset::kManual, false, ObjectSecurity::kOpen), 0);
  EXPECT_EQ(event.Wait(milliseconds(0)), WaitResult::kTimeout);
  EXPECT_EQ(event.Wait(milliseconds(30)), WaitResult::kTimeout);
  EXPECT_EQ(event.Wait(milliseconds(-5)), WaitResult::kTimeout);
}

TEST(NamedEventTest, MutexOfAProcessThatDiedIsTakenOver) {
  TestObjectName name;
  NamedEvent event;
  ASSERT_EQ(event.CreateOrOpen(name.get(), EventReset::kManual, false, ObjectSecurity::kOpen), 0);
  // A process that dies inside Set or Reset leaves the event's mutex locked.
  const pid_t dying = StartChild([&] {
    SharedObject object;
    if (SharedObject::Open(name.get(), ObjectKind::kEvent, sizeof(NamedEventState), &object) != 0) {
      return 1;
    }
    auto* state = static_cast<NamedEventState*>(object.state());
    // Ends with the mutex held and still mapped, as a process that is killed would.
    _exit(pthread_mutex_lock(&state->mutex) == 0 ? 0 : 1);
    return 1;
  });
  ASSERT_EQ(WaitChild(dying), 0);

  EXPECT_FALSE(event.IsSet());
  EXPECT_TRUE(event.Set());
  EXPECT_TRUE(event.IsSet());
  EXPECT_EQ(event.Wait(milliseconds(0)), WaitResult::kSignaled);
  EXPECT_TRUE(event.Reset());
  EXPECT_EQ(event.Wait(milliseconds(0)), WaitResult::kTimeout);
}

}  // namespace
}  // namespace sdx::win
