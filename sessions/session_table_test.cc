#include "sessions/session_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "frame/fake_control_block.h"
#include "frame/page_output.h"
#include "sessions/manual_clock.h"

namespace sdx {
namespace {

using testing::FakeControlBlock;
using testing::ManualClock;

class SessionTableTest : public ::testing::Test {
 protected:
  SessionTableTest()
      : table_(&server_lock_, &clock_, [this](std::string_view line) {
          std::scoped_lock lock(trace_lock_);
          trace_.emplace_back(line);
        }) {}

  // Validates `id` as a page would; `*page` gets what was written to the browser.
  std::shared_ptr<WebSession> Validate(std::string_view id, std::string* page = nullptr) {
    FakeControlBlock request = FakeControlBlock::Get("");
    HttpServerContext context(request.ecb());
    auto session = table_.ValidateSession(context, id);
    if (page != nullptr) {
      *page = request.body;
    }
    return session;
  }

  std::vector<std::string> TakeTrace() {
    std::scoped_lock lock(trace_lock_);
    return std::exchange(trace_, {});
  }

  const std::string timed_out_page_ = MessagePage(kMessageBanner, kSessionTimedOutMessage);
  std::mutex server_lock_;
  ManualClock clock_;
  std::mutex trace_lock_;
  std::vector<std::string> trace_;  // guarded by trace_lock_
  SessionTable table_;
};

TEST_F(SessionTableTest, NewSessionHasTheInitialValues) {
  auto session = table_.CreateSession();
  ASSERT_NE(session, nullptr);
  const WebSessionValues v = session->Values();
  EXPECT_EQ(v.Name, "");
  EXPECT_EQ(v.ProfileId, 0);
  for (const std::string* text :
       {&v.ProfileIds, &v.EscalationFlagIds, &v.StartDate, &v.EndDate, &v.MsgFilter, &v.NameFilter,
        &v.StatusFilter, &v.DeviceFilter, &v.EventListUrl, &v.FilterName}) {
    EXPECT_EQ(*text, "");
  }
  EXPECT_EQ(v.EventAmount, 100);
  EXPECT_EQ(v.RefreshTime, 30);
  EXPECT_EQ(v.SignedOn, 0);
  EXPECT_EQ(v.FiltersManaged, 0);
  EXPECT_EQ(v.ListValuesSet, 0);
  EXPECT_EQ(TakeTrace(), std::vector<std::string>{"Creating new session"});
  EXPECT_EQ(table_.size(), 1u);
}

TEST_F(SessionTableTest, ExpiryCountsFromTheFirstValidation) {
  struct Request {
    int32_t at;  // seconds after the session was made
    bool valid;
  };
  struct Case {
    const char* what;
    int32_t created;
    int32_t timeout;
    std::vector<Request> requests;
  };
  const Case kCases[] = {
      {"valid through the very second it runs out",
       1000000,
       600,
       {{0, true}, {600, true}, {601, false}, {602, false}}},
      {"later requests do not move the end",
       1000000,
       600,
       {{10, true}, {300, true}, {610, true}, {611, false}}},
      {"WebSessionMaxMin 30", 1000000, 1800, {{0, true}, {1800, true}, {1801, false}}},
      {"first used late but in time", 1000000, 600, {{600, true}, {1200, true}, {1201, false}}},
      {"never used within its time: counted from creation", 1000000, 600, {{601, false}}},
      {"times near the end of the 32-bit range", INT32_MAX - 20, 600, {{0, true}, {20, true}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    table_.set_timeout(c.timeout);
    clock_.Set(c.created);
    auto made = table_.CreateSession();
    ASSERT_NE(made, nullptr);
    for (const Request& r : c.requests) {
      SCOPED_TRACE(r.at);
      clock_.Set(c.created + r.at);
      std::string page;
      auto session = Validate(made->id(), &page);
      EXPECT_EQ(session != nullptr, r.valid);
      EXPECT_EQ(page, r.valid ? "" : timed_out_page_);
      if (r.valid) {
        EXPECT_EQ(session, made);
      }
    }
    EXPECT_EQ(table_.size(), c.requests.back().valid ? 1u : 0u);
    table_.ClearSessions();
  }
}

TEST_F(SessionTableTest, IdsThatNameNoSessionGetTheTimedOutPage) {
  auto ended = table_.CreateSession();
  const std::string ended_id = ended->id();
  table_.EndSession(ended_id);
  auto live = table_.CreateSession();
  for (const std::string& id : {std::string("0"), std::string(""), std::string("123"), ended_id,
                                live->id() + "0", live->id().substr(1)}) {
    std::string page;
    EXPECT_EQ(Validate(id, &page), nullptr) << id;
    EXPECT_EQ(page, timed_out_page_) << id;
  }
  EXPECT_NE(Validate(live->id()), nullptr);
}

TEST_F(SessionTableTest, EndSessionRemovesAndTraces) {
  auto session = table_.CreateSession();
  session->Set(&WebSessionValues::Name, std::string("Alice Smith"));
  TakeTrace();
  table_.EndSession("42");  // not in the table: nothing at all
  EXPECT_TRUE(TakeTrace().empty());
  EXPECT_EQ(table_.size(), 1u);

  table_.EndSession(session->id());
  EXPECT_EQ(TakeTrace(),
            std::vector<std::string>{"Deleting sessionId:" + session->id() + " Name:Alice Smith"});
  EXPECT_EQ(table_.size(), 0u);
  // The request that still holds the record goes on with it undisturbed.
  session->Set(&WebSessionValues::FilterName, std::string("night shift"));
  EXPECT_EQ(session->Get(&WebSessionValues::FilterName), "night shift");
}

TEST_F(SessionTableTest, SweepOverAnEmptyTableOnlySaysSo) {
  table_.CheckSessions();
  EXPECT_EQ(TakeTrace(), std::vector<std::string>{"Checking sessions..."});
}

TEST_F(SessionTableTest, SweepRemovesExactlyTheExpiredSessions) {
  const int32_t t = 1000000;
  clock_.Set(t);
  auto expired = table_.CreateSession();
  expired->Set(&WebSessionValues::Name, std::string("Old"));
  expired->Set(&WebSessionValues::ProfileId, 12.0);
  ASSERT_NE(Validate(expired->id()), nullptr);
  auto never_used_old = table_.CreateSession();  // a refused sign-on
  clock_.Set(t + 300);
  auto live = table_.CreateSession();
  live->Set(&WebSessionValues::Name, std::string("Live"));
  live->Set(&WebSessionValues::ProfileId, 7.0);
  ASSERT_NE(Validate(live->id()), nullptr);
  auto never_used_new = table_.CreateSession();
  TakeTrace();

  clock_.Set(t + 601);
  table_.CheckSessions();
  const std::vector<std::string> trace = TakeTrace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace[0], "Checking sessions...");
  const std::multiset<std::string> lines(trace.begin() + 1, trace.end());
  const std::multiset<std::string> expected = {
      "CheckSessions()::Found sessionId:" + expired->id() + " ProfileId:12 Name:Old",
      "CheckSessions()::Deleting sessionId:" + expired->id() + " ProfileId:12 Name:Old",
      "CheckSessions()::Found sessionId:" + never_used_old->id() + " ProfileId:0 Name:",
      "CheckSessions()::Deleting sessionId:" + never_used_old->id() + " ProfileId:0 Name:",
      "CheckSessions()::Found sessionId:" + live->id() + " ProfileId:7 Name:Live",
      "CheckSessions()::Found sessionId:" + never_used_new->id() + " ProfileId:0 Name:",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(table_.size(), 2u);
  EXPECT_EQ(Validate(expired->id()), nullptr);
  EXPECT_EQ(Validate(live->id()), live);
  EXPECT_EQ(Validate(never_used_new->id()), never_used_new);
}

TEST_F(SessionTableTest, ClearSessionsEmptiesTheTable) {
  std::vector<std::shared_ptr<WebSession>> sessions;
  for (int i = 0; i < 5; ++i) {
    sessions.push_back(table_.CreateSession());
  }
  table_.ClearSessions();
  EXPECT_EQ(table_.size(), 0u);
  for (const auto& session : sessions) {
    EXPECT_EQ(Validate(session->id()), nullptr);
  }
}

TEST_F(SessionTableTest, IdsAreUniqueAcrossManySignOns) {
  constexpr int kSessions = 5000;
  std::set<std::string> ids;
  for (int i = 0; i < kSessions; ++i) {
    ids.insert(table_.CreateSession()->id());
  }
  EXPECT_EQ(ids.size(), size_t{kSessions});
  EXPECT_EQ(table_.size(), size_t{kSessions});
}

// Requests of one session on several threads while log off and the sweep remove it: every
// request keeps a usable record and no change of a member is lost. Meant for ThreadSanitizer
// as much as for the counts.
TEST_F(SessionTableTest, ConcurrentRequestsLogOffAndSweep) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  auto shared = table_.CreateSession();
  const std::string shared_id = shared->id();
  std::atomic<int> valid_requests{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        if (auto session = Validate(shared_id)) {
          ++valid_requests;
          session->Update([](WebSessionValues& v) { ++v.EventAmount; });
          session->Set(&WebSessionValues::StatusFilter, "thread " + std::to_string(t));
          EXPECT_EQ(session->Get(&WebSessionValues::StatusFilter).rfind("thread ", 0), 0u);
        }
        auto own = table_.CreateSession();
        ASSERT_NE(own, nullptr);
        ASSERT_EQ(Validate(own->id()), own);
        own->Update([](WebSessionValues& v) { v.Name = "operator"; });
        table_.EndSession(own->id());
        EXPECT_EQ(own->Get(&WebSessionValues::Name), "operator");
      }
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < kRounds; ++i) {
      table_.CheckSessions();
      if (i == kRounds / 2) {
        table_.EndSession(shared_id);
      }
    }
  });
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(shared->Get(&WebSessionValues::EventAmount), 100 + valid_requests.load());
  EXPECT_EQ(table_.size(), 0u);
}

}  // namespace
}  // namespace sdx
