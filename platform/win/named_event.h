// A named event shared between processes, the platform's CreateEvent/OpenEvent: manual reset
// (stays set until reset) or auto reset (a successful wait resets it). The frame holds the two
// pause events with it, the event log table the web-lock event, sdx-event drives them from a shell.
#pragma once

#include <chrono>
#include <string_view>

#include "platform/win/named_event_state.h"
#include "platform/win/shared_object.h"

namespace sdx::win {

enum class EventReset { kManual, kAuto };
enum class WaitResult { kSignaled, kTimeout, kFailed };

class NamedEvent {
 public:
  static constexpr std::chrono::milliseconds kInfinite = std::chrono::milliseconds::max();

  // Creates the event in `initially_set` state, or opens the existing one of that name, which
  // keeps its reset type and its state. Returns 0 or an errno value.
  int CreateOrOpen(std::string_view name, EventReset reset, bool initially_set,
                   ObjectSecurity security);
  // Opens an existing event; ENOENT when there is none.
  int Open(std::string_view name);

  bool is_open() const { return object_.is_open(); }
  // True when the last CreateOrOpen made the event rather than finding it.
  bool created() const { return created_; }
  bool manual_reset() const;

  bool Set();
  bool Reset();
  // The state without waiting and without resetting an auto-reset event.
  bool IsSet() const;
  // Waits until the event is set, at most `timeout`; an auto-reset event is reset by the wait
  // that returns kSignaled.
  WaitResult Wait(std::chrono::milliseconds timeout);

 private:
  NamedEventState* state() const;

  SharedObject object_;
  bool created_ = false;
};

}  // namespace sdx::win
