#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/fake_control_block.h"
#include "frame/page_output.h"
#include "platform/win/temp_folder_test_util.h"
#include "sessions/logon_page.h"
#include "sessions/menu_page.h"
#include "sessions/sha1_digest.h"

namespace sdx {
namespace {

class ManualClock : public Clock {
 public:
  int32_t Now() const override { return now_.load(); }
  void Set(int32_t now) { now_.store(now); }

 private:
  std::atomic<int32_t> now_{1700000000};
};

struct Profile {
  std::string name;
  std::string password;
};

// The sign-on and menu pages over small templates, a settable clock and profiles kept in a
// map instead of the personnel table.
class SignOnPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    Write("logon.html",
          "<!-- editors' note ***--><select>\n<cv_nextrow></select>|<cv_sid>|<cv_version>");
    Write("menu.html", "[<cv_name>][<cv_sessionid>][<cv_menu>]");
    templates_.LoadTemplates(folder_.path());
    services_.templates = &templates_;
    services_.sessions = &sessions_;
    services_.version_text = "0.1.0";
    services_.trace = [this](std::string_view line) { trace_.emplace_back(line); };
    services_.sorted_profiles = [] {
      return std::vector<std::string>{"anna,1", "Bert, Jr.,12", "Carl <admin> & co,3"};
    };
    services_.find_profile = [this](double id, PersonRecord* record) {
      const auto it = profiles_.find(id);
      if (it == profiles_.end()) return false;
      record->ID = id;
      std::strncpy(record->NAME, it->second.name.c_str(), sizeof record->NAME - 1);
      std::strncpy(record->PASSWORD, it->second.password.c_str(), sizeof record->PASSWORD - 1);
      return true;
    };
    sessions_.set_timeout(600);
  }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_.path() + "/" + name, std::ios::binary) << text;
  }

  // The page AlertweaveMenu writes for these parameters.
  std::string Menu(std::string_view sid, std::string_view profile_id, std::string_view password) {
    testing::FakeControlBlock request = testing::FakeControlBlock::Get("");
    HttpServerContext context(request.ecb());
    AlertweaveMenu(context, services_, sid, profile_id, password);
    EXPECT_EQ(request.status_line, "200 OK");
    return request.body;
  }
  std::string Logon(std::string_view sid, int32_t logon) {
    testing::FakeControlBlock request = testing::FakeControlBlock::Get("");
    HttpServerContext context(request.ecb());
    LogOnOff(context, services_, sid, logon);
    EXPECT_EQ(request.status_line, "200 OK");
    return request.body;
  }
  // The session id a menu page shows, empty when it shows none.
  static std::string MenuSessionId(const std::string& page) {
    const size_t start = page.find("][");
    if (start == std::string::npos) return {};
    return page.substr(start + 2, page.find(']', start + 2) - start - 2);
  }
  std::string MenuFor(const std::string& name, const std::string& id) {
    return "[" + name + "][" + id +
           "][<font face='Arial' size='2'><b><a href='http:SdxRemote.dll?EventFilter&SId=" + id +
           "'>Event Viewer</a></b></font>]";
  }

  testing::TempFolder folder_{"signon"};
  std::mutex server_lock_;
  ManualClock clock_;
  TemplateStore templates_{&server_lock_};
  SessionTable sessions_{&server_lock_, &clock_, [](std::string_view) {}};
  SignOnServices services_;
  std::map<double, Profile> profiles_ = {
      {1, {"anna", "secret"}},
      {3, {"Carl <admin> & co", "x"}},
      {7, {"Dora", ""}},
  };
  std::vector<std::string> trace_;
};

TEST_F(SignOnPagesTest, SignOnPageListsEscapedProfilesBeforeTheInsertionPoint) {
  const std::string page = Logon("0", 1);
  EXPECT_EQ(page,
            "<select>\n"
            "<option value=\"1\">anna</option>\n\r  "
            "<option value=\"12\">Bert, Jr.</option>\n\r  "
            "<option value=\"3\">Carl &lt;admin&gt; &amp; co</option>\n\r  "
            "<cv_nextrow></select>|0|v0.1.0");
  EXPECT_EQ(trace_, (std::vector<std::string>{"LogOnOff!", "Exit LogOnOff!"}));

  testing::FakeControlBlock request = testing::FakeControlBlock::Get("");
  HttpServerContext context(request.ecb());
  DefaultPage(context, services_);
  EXPECT_EQ(request.body, page);
}

TEST_F(SignOnPagesTest, TemplateWithoutInsertionPointGetsOptionsFirst) {
  Write("logon.html", "<p><cv_sid></p>");
  TemplateStore templates(&server_lock_);
  templates.LoadTemplates(folder_.path());
  services_.templates = &templates;
  services_.sorted_profiles = [] { return std::vector<std::string>{"anna,1"}; };
  EXPECT_EQ(Logon("0", 1), "<option value=\"1\">anna</option>\n\r  <p>0</p>");
}

TEST_F(SignOnPagesTest, CorrectDigestGivesMenuWithNewSession) {
  const std::string page = Menu("0", "1", PasswordDigestText("secret"));
  const std::string id = MenuSessionId(page);
  ASSERT_FALSE(id.empty());
  EXPECT_EQ(page, MenuFor("anna", id));
  EXPECT_EQ(trace_, std::vector<std::string>{"AlertweaveMenu!"});

  testing::FakeControlBlock request = testing::FakeControlBlock::Get("");
  HttpServerContext context(request.ecb());
  const std::shared_ptr<WebSession> session = sessions_.ValidateSession(context, id);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->Get(&WebSessionValues::SignedOn), 1);
  EXPECT_EQ(session->Get(&WebSessionValues::ProfileId), 1.0);
  EXPECT_EQ(session->Get(&WebSessionValues::Name), "anna");
}

TEST_F(SignOnPagesTest, RefusedSignOns) {
  const std::string digest = PasswordDigestText("secret");
  std::string lower = digest;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  struct Case {
    const char* what;
    std::string sid, profile_id, password;
    std::string_view message;
  };
  const Case kCases[] = {
      {"no profile, no session", "0", "0", digest, kNoProfileMessage},
      {"empty profile text", "0", "", digest, kNoProfileMessage},
      {"wrong digest", "0", "1", PasswordDigestText("Secret"), kWrongPasswordMessage},
      {"lower-case digest", "0", "1", lower, kWrongPasswordMessage},
      {"digest with blanks", "0", "1", digest.substr(0, 2) + " " + digest.substr(2),
       kWrongPasswordMessage},
      {"the password itself", "0", "1", "secret", kWrongPasswordMessage},
      // No Personnel row: its cleared record would carry an empty password, and so let anyone
      // in under an empty name.
      {"unknown profile", "0", "99", "", kWrongPasswordMessage},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(Menu(c.sid, c.profile_id, c.password), MessagePage(kMessageBanner, c.message))
        << c.what;
  }
  // Only the refused passwords made a session, and none of them is signed on.
  EXPECT_EQ(sessions_.size(), 5u);
}

TEST_F(SignOnPagesTest, ProfileWithoutPasswordTakesAnyDigest) {
  for (const char* password : {"", "anything"}) {
    const std::string page = Menu("0", "7", password);
    EXPECT_EQ(page, MenuFor("Dora", MenuSessionId(page))) << password;
  }
}

TEST_F(SignOnPagesTest, NameIsEscapedInTheMenu) {
  const std::string page = Menu("0", "3", PasswordDigestText("x"));
  EXPECT_EQ(page, MenuFor("Carl &lt;admin&gt; &amp; co", MenuSessionId(page)));
}

TEST_F(SignOnPagesTest, SignedOnSessionGetsTheMenuAgainWithoutPassword) {
  const std::string id = MenuSessionId(Menu("0", "1", PasswordDigestText("secret")));
  // Any password; the session acts for the profile named now and keeps its name.
  EXPECT_EQ(Menu(id, "3", "wrong"), MenuFor("anna", id));
  EXPECT_EQ(Menu(id, "0", ""), MenuFor("anna", id));
  testing::FakeControlBlock request = testing::FakeControlBlock::Get("");
  HttpServerContext context(request.ecb());
  EXPECT_EQ(sessions_.ValidateSession(context, id)->Get(&WebSessionValues::ProfileId), 0.0);
}

TEST_F(SignOnPagesTest, StaleSessionGetsTimedOutPageThenAFreshSignOn) {
  const std::string page = Menu("123456789", "1", PasswordDigestText("secret"));
  const std::string timed_out = MessagePage(kMessageBanner, kSessionTimedOutMessage);
  ASSERT_EQ(page.substr(0, timed_out.size()), timed_out);
  const std::string menu = page.substr(timed_out.size());
  const std::string id = MenuSessionId(menu);
  EXPECT_NE(id, "123456789");
  EXPECT_EQ(menu, MenuFor("anna", id));
}

TEST_F(SignOnPagesTest, LogOffEndsTheSession) {
  const std::string id = MenuSessionId(Menu("0", "1", PasswordDigestText("secret")));
  ASSERT_EQ(sessions_.size(), 1u);
  EXPECT_EQ(Logon(id, 1), Logon("0", 1));
  EXPECT_EQ(sessions_.size(), 1u);
  EXPECT_EQ(Logon(id, 0), Logon("0", 1));
  EXPECT_EQ(sessions_.size(), 0u);
  // Logging off an id that is gone only shows the sign-on page.
  EXPECT_EQ(Logon(id, 0), Logon("0", 1));
}

TEST_F(SignOnPagesTest, MenuSessionExpiresAtTheTimeout) {
  const std::string id = MenuSessionId(Menu("0", "1", PasswordDigestText("secret")));
  const int32_t start = clock_.Now();
  EXPECT_EQ(Menu(id, "1", ""), MenuFor("anna", id));  // starts the session's clock
  clock_.Set(start + 600);
  EXPECT_EQ(Menu(id, "1", ""), MenuFor("anna", id));
  clock_.Set(start + 601);
  // Dead now: the timed-out page, then a fresh sign-on that this empty password fails.
  EXPECT_EQ(Menu(id, "1", ""), MessagePage(kMessageBanner, kSessionTimedOutMessage) +
                                   MessagePage(kMessageBanner, kWrongPasswordMessage));
}

}  // namespace
}  // namespace sdx
