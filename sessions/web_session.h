// One signed-on browser session: who signed on, the operator's filter values and the list
// settings. The session table owns it (shared with the requests that use it, so it lives until
// the last of them ends); pages read and change it only through the copying accessors below.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

namespace sdx {

// The members that pages read and change, with their initial values.
struct WebSessionValues {
  std::string Name;        // NAME of the signed-on profile; the section of its default filter
  double ProfileId = 0;    // the profile replies are recorded for
  std::string ProfileIds;  // filter values, named as the request parameters that set them
  std::string EscalationFlagIds;
  std::string StartDate;
  std::string EndDate;
  std::string MsgFilter;
  std::string NameFilter;
  std::string StatusFilter;
  std::string DeviceFilter;
  int32_t EventAmount = 100;  // events to list
  int32_t RefreshTime = 30;   // refresh time of the event list
  int32_t SignedOn = 0;       // 1 once the password has been accepted
  int32_t FiltersManaged = 0;
  int32_t ListValuesSet = 0;
  std::string EventListUrl;
  std::string FilterName;
};

class WebSession {
 public:
  // `created` is the time of the sign-on that made the session.
  WebSession(std::string id, int32_t created) : id_(std::move(id)), created_(created) {}
  WebSession(const WebSession&) = delete;
  WebSession& operator=(const WebSession&) = delete;

  const std::string& id() const { return id_; }

  // A copy of every member at one moment.
  WebSessionValues Values() const {
    std::scoped_lock lock(mutex_);
    return values_;
  }
  // One member, e.g. session->Get(&WebSessionValues::Name).
  template <typename T>
  T Get(T WebSessionValues::*member) const {
    std::scoped_lock lock(mutex_);
    return values_.*member;
  }
  template <typename T, typename V>
  void Set(T WebSessionValues::*member, V&& value) {
    std::scoped_lock lock(mutex_);
    values_.*member = std::forward<V>(value);
  }
  // Runs `change(values)` under the session's lock, for a read-modify-write that must not
  // interleave with another request of the same session. `change` must not call back into the
  // session or the session table.
  template <typename Change>
  auto Update(Change&& change) {
    std::scoped_lock lock(mutex_);
    return std::forward<Change>(change)(values_);
  }

 private:
  friend class SessionTable;

  const std::string id_;
  const int32_t created_;
  // Guarded by the server lock; only the session table reads or writes them.
  int32_t StartTime = 0;  // the first validated request; the lifetime counts from here
  int32_t ClockStarted = 0;

  mutable std::mutex mutex_;  // guards values_; taken after the server lock, never before it
  WebSessionValues values_;
};

}  // namespace sdx
