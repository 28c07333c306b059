#include "platform/win/named_event.h"

#include <errno.h>
#include <time.h>

#include <algorithm>
#include <utility>

namespace sdx::win {

namespace {

// A robust mutex whose owner died is taken over and made usable again. What it guards is one
// word that is always written whole, so there is nothing to repair.
int LockState(NamedEventState* state) {
  int rc = pthread_mutex_lock(&state->mutex);
  if (rc == EOWNERDEAD) {
    rc = pthread_mutex_consistent(&state->mutex);
  }
  return rc;
}

int InitState(void* memory, EventReset reset, bool initially_set) {
  auto* state = static_cast<NamedEventState*>(memory);
  pthread_mutexattr_t mutex_attr;
  pthread_mutexattr_init(&mutex_attr);
  pthread_mutexattr_setpshared(&mutex_attr, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&mutex_attr, PTHREAD_MUTEX_ROBUST);
  int rc = pthread_mutex_init(&state->mutex, &mutex_attr);
  pthread_mutexattr_destroy(&mutex_attr);
  if (rc != 0) {
    return rc;
  }
  pthread_condattr_t cond_attr;
  pthread_condattr_init(&cond_attr);
  pthread_condattr_setpshared(&cond_attr, PTHREAD_PROCESS_SHARED);
  pthread_condattr_setclock(&cond_attr, CLOCK_MONOTONIC);
  rc = pthread_cond_init(&state->changed, &cond_attr);
  pthread_condattr_destroy(&cond_attr);
  if (rc != 0) {
    return rc;
  }
  state->manual_reset = reset == EventReset::kManual ? 1 : 0;
  state->signalled = initially_set ? 1 : 0;
  return 0;
}

// The monotonic time `timeout` from now, held back from overflowing for very long timeouts.
timespec DeadlineAfter(std::chrono::milliseconds timeout) {
  constexpr int64_t kLongest = int64_t{100} * 365 * 24 * 3600 * 1000;  // a century
  const int64_t ms = std::clamp<int64_t>(timeout.count(), 0, kLongest);
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(ms / 1000);
  deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return deadline;
}

}  // namespace

int NamedEvent::CreateOrOpen(std::string_view name, EventReset reset, bool initially_set,
                             ObjectSecurity security) {
  SharedObject object;
  bool created = false;
  const int rc = SharedObject::CreateOrOpen(
      name, ObjectKind::kEvent, sizeof(NamedEventState), security,
      [&](void* memory) { return InitState(memory, reset, initially_set); }, &object, &created);
  if (rc == 0) {
    object_ = std::move(object);
    created_ = created;
  }
  return rc;
}

int NamedEvent::Open(std::string_view name) {
  SharedObject object;
  const int rc = SharedObject::Open(name, ObjectKind::kEvent, sizeof(NamedEventState), &object);
  if (rc == 0) {
    object_ = std::move(object);
    created_ = false;
  }
  return rc;
}

NamedEventState* NamedEvent::state() const {
  return static_cast<NamedEventState*>(object_.state());
}

bool NamedEvent::manual_reset() const { return is_open() && state()->manual_reset != 0; }

bool NamedEvent::Set() {
  if (!is_open() || LockState(state()) != 0) {
    return false;
  }
  state()->signalled = 1;
  // Every waiter rechecks the flag; of an auto-reset event's waiters the first to get the mutex
  // takes the signal and the rest wait on.
  pthread_cond_broadcast(&state()->changed);
  pthread_mutex_unlock(&state()->mutex);
  return true;
}

bool NamedEvent::Reset() {
  if (!is_open() || LockState(state()) != 0) {
    return false;
  }
  state()->signalled = 0;
  pthread_mutex_unlock(&state()->mutex);
  return true;
}

bool NamedEvent::IsSet() const {
  if (!is_open() || LockState(state()) != 0) {
    return false;
  }
  const bool set = state()->signalled != 0;
  pthread_mutex_unlock(&state()->mutex);
  return set;
}

WaitResult NamedEvent::Wait(std::chrono::milliseconds timeout) {
  if (!is_open() || LockState(state()) != 0) {
    return WaitResult::kFailed;
  }
  NamedEventState* s = state();
  const bool forever = timeout == kInfinite;
  const timespec deadline = DeadlineAfter(forever ? std::chrono::milliseconds(0) : timeout);
  WaitResult result = WaitResult::kSignaled;
  while (s->signalled == 0) {
    int rc = forever ? pthread_cond_wait(&s->changed, &s->mutex)
                     : pthread_cond_timedwait(&s->changed, &s->mutex, &deadline);
    if (rc == EOWNERDEAD) {
      rc = pthread_mutex_consistent(&s->mutex);
    }
    if (rc == ENOTRECOVERABLE) {
      return WaitResult::kFailed;  // the mutex was not given back, so there is none to unlock
    }
    if (rc == ETIMEDOUT) {
      result = s->signalled != 0 ? WaitResult::kSignaled : WaitResult::kTimeout;
      break;
    }
    if (rc != 0) {
      result = WaitResult::kFailed;
      break;
    }
  }
  if (result == WaitResult::kSignaled && s->manual_reset == 0) {
    s->signalled = 0;
  }
  pthread_mutex_unlock(&s->mutex);
  return result;
}

}  // namespace sdx::win
