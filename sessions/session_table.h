// The live sessions of the extension, by session id: made at sign-on, checked by every page,
// ended by log off, expired by the sweep thread, emptied at shutdown. The server object owns
// it and shares its server lock with it (the lock also guards the template map).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "diagnostics/debug_window.h"
#include "frame/http_server_context.h"
#include "sessions/clock.h"
#include "sessions/web_session.h"

namespace sdx {

// The message of the page that a dead session gets.
inline constexpr std::string_view kSessionTimedOutMessage =
    "Session has timed out, you'll need to log in again.&nbsp;(<a href='http:SdxRemote.dll'>Log "
    "In</a>)";

class SessionTable {
 public:
  // Where the trace lines go; the debug window unless a test listens.
  using TraceSink = std::function<void(std::string_view line)>;

  static constexpr int32_t kDefaultTimeout = 600;

  SessionTable(std::mutex* server_lock, const Clock* clock, TraceSink trace = WriteDebugWindow);
  SessionTable(const SessionTable&) = delete;
  SessionTable& operator=(const SessionTable&) = delete;

  // The lifetime of a session in seconds (WebSessionMaxMin times 60).
  void set_timeout(int32_t seconds);

  // Makes a session with the initial values under a new id, unique in the table; null only
  // when the system's random source fails.
  std::shared_ptr<WebSession> CreateSession();

  // The live session of that id, its clock started by the first call. Otherwise null, after
  // writing the timed-out page to `context` (still under the lock, so that pages never
  // interleave with another's). The record stays usable as long as the caller holds it, even
  // if the session ends meanwhile.
  std::shared_ptr<WebSession> ValidateSession(HttpServerContext& context, std::string_view id);

  // Removes the session of that id, if there is one.
  void EndSession(std::string_view id);

  // Removes every expired session; the sweep thread's work.
  void CheckSessions();

  // Removes every session, at shutdown.
  void ClearSessions();

  size_t size() const;

 private:
  // Whether `session` has outlived the timeout at `now`. Caller holds the server lock.
  bool Expired(const WebSession& session, int32_t now) const;

  struct IdHash {
    using is_transparent = void;
    size_t operator()(std::string_view id) const { return std::hash<std::string_view>{}(id); }
  };

  std::mutex* const server_lock_;
  const Clock* const clock_;
  const TraceSink trace_;
  int32_t timeout_ = kDefaultTimeout;  // guarded by *server_lock_
  // Guarded by *server_lock_.
  std::unordered_map<std::string, std::shared_ptr<WebSession>, IdHash, std::equal_to<>> sessions_;
};

}  // namespace sdx
