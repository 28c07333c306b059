#include "sessions/session_table.h"

#include <cstdio>
#include <utility>

#include "frame/page_output.h"
#include "sessions/session_id.h"

namespace sdx {

namespace {

std::string SessionLine(const char* what, const WebSession& session) {
  const WebSessionValues values = session.Values();
  char profile_id[400];
  snprintf(profile_id, sizeof(profile_id), "%.0f", values.ProfileId);
  std::string line = what;
  line += "sessionId:";
  line += session.id();
  line += " ProfileId:";
  line += profile_id;
  line += " Name:";
  line += values.Name;
  return line;
}

}  // namespace

SessionTable::SessionTable(std::mutex* server_lock, const Clock* clock, TraceSink trace)
    : server_lock_(server_lock), clock_(clock), trace_(std::move(trace)) {}

void SessionTable::set_timeout(int32_t seconds) {
  std::scoped_lock lock(*server_lock_);
  timeout_ = seconds;
}

std::shared_ptr<WebSession> SessionTable::CreateSession() {
  trace_("Creating new session");
  std::scoped_lock lock(*server_lock_);
  const int32_t now = clock_->Now();
  // With 9 * 10^17 possible ids a clash is all but impossible; it is still never allowed to
  // hand one browser another's session.
  for (;;) {
    std::string id = NewSessionId();
    if (id.empty()) {
      return nullptr;
    }
    if (sessions_.contains(id)) {
      continue;
    }
    auto session = std::make_shared<WebSession>(id, now);
    sessions_.emplace(std::move(id), session);
    return session;
  }
}

bool SessionTable::Expired(const WebSession& session, int32_t now) const {
  // A session that no page has validated yet (a refused sign-on, or one never used) counts
  // from its creation, so that such sessions do not pile up for ever. 64-bit sums: a start
  // time near the end of the 32-bit range must not wrap round.
  const int64_t start = session.ClockStarted != 0 ? session.StartTime : session.created_;
  return start + int64_t{timeout_} < int64_t{now};
}

std::shared_ptr<WebSession> SessionTable::ValidateSession(HttpServerContext& context,
                                                          std::string_view id) {
  std::scoped_lock lock(*server_lock_);
  const int32_t now = clock_->Now();
  const auto it = sessions_.find(id);
  if (it != sessions_.end()) {
    WebSession& session = *it->second;
    if (!Expired(session, now)) {
      if (session.ClockStarted == 0) {
        session.ClockStarted = 1;
        session.StartTime = now;
      }
      return it->second;
    }
    sessions_.erase(it);
  }
  WriteMessagePage(context, kMessageBanner, kSessionTimedOutMessage);
  return nullptr;
}

void SessionTable::EndSession(std::string_view id) {
  std::scoped_lock lock(*server_lock_);
  const auto it = sessions_.find(id);
  if (it == sessions_.end()) {
    return;
  }
  // The id as it is: its 18 digits would not survive a trip through a double.
  trace_("Deleting sessionId:" + it->second->id() +
         " Name:" + it->second->Get(&WebSessionValues::Name));
  sessions_.erase(it);
}

void SessionTable::CheckSessions() {
  std::scoped_lock lock(*server_lock_);
  const int32_t now = clock_->Now();
  trace_("Checking sessions...");
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    const WebSession& session = *it->second;
    trace_(SessionLine("CheckSessions()::Found ", session));
    if (Expired(session, now)) {
      trace_(SessionLine("CheckSessions()::Deleting ", session));
      it = sessions_.erase(it);
    } else {
      ++it;
    }
  }
}

void SessionTable::ClearSessions() {
  std::scoped_lock lock(*server_lock_);
  sessions_.clear();
}

size_t SessionTable::size() const {
  std::scoped_lock lock(*server_lock_);
  return sessions_.size();
}

}  // namespace sdx
