// Signing on through sdxhost and the real extension: the sign-on page, the menu, refused
// digests, log off and dead sessions, over loopback HTTP on a demo data folder of sendrix-sim.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "host/http_test_client.h"
#include "platform/win/profile_file.h"
#include "sessions/sha1_digest.h"
#include "tables/database_engine.h"
#include "tools/sendrix_sim/row_writer.h"

namespace sdx {
namespace {

namespace fs = std::filesystem;
using host::HttpResponse;
using host::HttpTestConnection;

const std::string kBinary = SDX_BINARY_DIR;
const std::string kSite = std::string(SDX_SOURCE_DIR) + "/site";

// The demo's first operator and the row this test adds, whose name is markup.
constexpr const char* kAnna = "Anna Berg";
constexpr const char* kAnnaPassword = "demo";
constexpr const char* kMarkupName = "<b>Eve</b> & 'co'";
constexpr const char* kMarkupId = "9001";

// Runs `argv` to its end with stdout and stderr going to `output`; its exit code.
int RunToEnd(const std::vector<std::string>& argv, const fs::path& output) {
  const pid_t pid = fork();
  if (pid == 0) {
    FILE* out = std::fopen(output.c_str(), "w");
    if (out != nullptr) {
      dup2(fileno(out), 1);
      dup2(fileno(out), 2);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Adds one operator to the Personnel table of `database`, as the paging server would.
bool AddProfile(const std::string& database, double id, const char* name, const char* password) {
  DatabaseEngine engine;
  if (!engine.initialised()) return false;
  bool added = false;
  {
    sim::RowWriter personnel(engine.code_base(), database + "/Personnel");
    if (personnel.ok() && personnel.Start()) {
      sim::RowWriter::Set(personnel.Field("ID"), id);
      sim::RowWriter::SetText(personnel.Field("NAME"), name);
      sim::RowWriter::SetLong(personnel.Field("TYPE"), 0);
      sim::RowWriter::SetText(personnel.Field("PASSWORD"), password);
      added = personnel.Append();
    }
  }
  code4close(engine.code_base());
  return added;
}

// The demo folder and one sdxhost serving the extension on it, shared by the suite.
class HttpSignOnTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ =
        fs::path(kBinary) / "tests" / "test-tmp" / ("http_signon-" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    const fs::path data = folder_ / "data";
    ASSERT_EQ(
        RunToEnd({SDX_SENDRIX_SIM, "init", data.string(), "--templates", kSite, "--events", "20"},
                 folder_ / "init.txt"),
        0);
    ASSERT_TRUE(AddProfile((data / "database").string(), std::stod(kMarkupId), kMarkupName, "x"));
    const std::string ini = (data / "evhub.ini").string();
    ASSERT_TRUE(win::WritePrivateProfileString("Sdx24", "SdxRemoteLocation", kBinary, ini));
    StartHost(ini);
  }
  static void TearDownTestSuite() {
    if (host_pid_ > 0) {
      kill(host_pid_, SIGTERM);
      waitpid(host_pid_, nullptr, 0);
      host_pid_ = -1;
    }
    fs::remove_all(folder_);
  }

  static void StartHost(const std::string& ini) {
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    const std::string env_ini = "SDX_EVHUB_INI=" + ini;
    const std::string env_config = "SDX_CONFIG_DIR=" + folder_.string();
    const std::string host = SDX_HOST;
    const std::string extension = SDX_EXTENSION;
    host_pid_ = fork();
    if (host_pid_ == 0) {
      dup2(pipe_fds[1], 1);
      putenv(const_cast<char*>(env_ini.c_str()));
      putenv(const_cast<char*>(env_config.c_str()));
      execl(host.c_str(), host.c_str(), "--listen", "127.0.0.1:0", "--root", kSite.c_str(),
            "--extension", extension.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipe_fds[1]);
    // The host says where it serves once it is ready; a failed start ends the pipe.
    std::string line;
    char c;
    while (read(pipe_fds[0], &c, 1) == 1 && c != '\n') line += c;
    close(pipe_fds[0]);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(line, match, std::regex(R"(http://127\.0\.0\.1:(\d+)/)")))
        << line;
    port_ = std::stoi(match[1]);
  }

  static HttpResponse Get(const std::string& target) { return host::Get(port_, target); }

  static HttpResponse Post(const std::string& target, const std::string& body) {
    HttpTestConnection connection(port_);
    connection.Send("POST " + target +
                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                    "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n\r\n" + body);
    HttpResponse response;
    EXPECT_TRUE(connection.ReadResponse(&response));
    return response;
  }

  // The menu command as the sign-on form sends it.
  static HttpResponse Menu(const std::string& sid, const std::string& profile_id,
                           const std::string& password) {
    return Post("/SdxRemote.dll?AlertweaveMenu",
                "SId=" + sid + "&ProfileId=" + profile_id + "&password=" + password);
  }

  // The id of the profile option named `escaped_name` on the sign-on page.
  static std::string ProfileId(const std::string& page, const std::string& escaped_name) {
    const size_t end = page.find("\">" + escaped_name + "</option>");
    if (end == std::string::npos) return "";
    const size_t start = page.rfind('"', end - 1);
    return page.substr(start + 1, end - start - 1);
  }

  // The session id of a menu page: what its Event Viewer link carries.
  static std::string MenuSessionId(const std::string& page) {
    std::smatch match;
    return std::regex_search(page, match, std::regex(R"(EventFilter&SId=(\d+)')")) ? match[1].str()
                                                                                   : "";
  }

  static std::string AnnaId() { return ProfileId(Get("/SdxRemote.dll").body, kAnna); }

  static inline fs::path folder_;
  static inline pid_t host_pid_ = -1;
  static inline int port_ = 0;
};

TEST_F(HttpSignOnTest, DefaultAndLogOnOffGiveTheSameSignOnPage) {
  const HttpResponse plain = Get("/SdxRemote.dll");
  ASSERT_EQ(plain.status, 200);
  EXPECT_EQ(plain.Header("Content-Type"), "text/html");
  for (const char* target : {"/SdxRemote.dll?Default", "/sdxremote.dll?LogOnOff",
                             "/SdxRemote.dll?LogOnOff&SId=&Logon="}) {
    const HttpResponse page = Get(target);
    EXPECT_EQ(page.status, 200) << target;
    EXPECT_EQ(page.body, plain.body) << target;
  }
  EXPECT_NE(plain.body.find("name=\"SId\" value=\"0\""), std::string::npos);
  EXPECT_NE(plain.body.find("v" SDX_VERSION), std::string::npos);
  EXPECT_EQ(plain.body.find("***-->"), std::string::npos);
  EXPECT_FALSE(AnnaId().empty());
  // The operator whose name is markup is listed with the name escaped, never as markup.
  EXPECT_EQ(ProfileId(plain.body, "&lt;b&gt;Eve&lt;/b&gt; &amp; &#39;co&#39;"), kMarkupId);
  EXPECT_EQ(plain.body.find("<b>Eve"), std::string::npos);
}

TEST_F(HttpSignOnTest, CorrectDigestGivesTheMenu) {
  const HttpResponse menu = Menu("0", AnnaId(), PasswordDigestText(kAnnaPassword));
  ASSERT_EQ(menu.status, 200);
  const std::string id = MenuSessionId(menu.body);
  ASSERT_FALSE(id.empty()) << menu.body;
  EXPECT_NE(menu.body.find("Welcome, Anna Berg"), std::string::npos);
  EXPECT_NE(menu.body.find("LogOnOff&amp;SId=" + id + "&amp;Logon=0"), std::string::npos);

  // The signed-on session shows the menu again for any password.
  EXPECT_EQ(MenuSessionId(Menu(id, AnnaId(), "").body), id);
}

TEST_F(HttpSignOnTest, RefusedSignOns) {
  const std::string digest = PasswordDigestText(kAnnaPassword);
  std::string lower = digest;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  struct Case {
    const char* what;
    std::string profile_id, password;
    const char* message;
  };
  const Case kCases[] = {
      {"lower-case digest", AnnaId(), lower, "Incorrect Password, access denied"},
      {"wrong digest", AnnaId(), PasswordDigestText("Demo"), "Incorrect Password, access denied"},
      {"unknown profile", "424242", "", "Incorrect Password, access denied"},
      {"no profile", "0", digest, "ERROR:<br>A profile must be selected.<br>"},
  };
  for (const Case& c : kCases) {
    const HttpResponse page = Menu("0", c.profile_id, c.password);
    EXPECT_EQ(page.status, 200) << c.what;
    EXPECT_NE(page.body.find(c.message), std::string::npos) << c.what << page.body;
    EXPECT_TRUE(MenuSessionId(page.body).empty()) << c.what;
  }
}

TEST_F(HttpSignOnTest, LogOffEndsTheSessionAndADeadIdTimesOut) {
  const std::string anna = AnnaId();
  const std::string digest = PasswordDigestText(kAnnaPassword);
  const std::string id = MenuSessionId(Menu("0", anna, digest).body);
  ASSERT_FALSE(id.empty());

  const HttpResponse signed_off = Get("/SdxRemote.dll?LogOnOff&SId=" + id + "&Logon=0");
  EXPECT_EQ(signed_off.status, 200);
  EXPECT_EQ(signed_off.body, Get("/SdxRemote.dll").body);

  // The dead id: the timed-out page, then in the same answer a fresh sign-on with a new id.
  const HttpResponse stale = Menu(id, anna, digest);
  const size_t timed_out = stale.body.find("Session has timed out, you'll need to log in again.");
  ASSERT_NE(timed_out, std::string::npos) << stale.body;
  const std::string fresh = MenuSessionId(stale.body);
  ASSERT_FALSE(fresh.empty());
  EXPECT_NE(fresh, id);
  EXPECT_LT(timed_out, stale.body.find("Welcome, Anna Berg"));

  // A dead id with no password: the timed-out page and the refused fresh sign-on.
  const HttpResponse dead = Menu("123456789", "0", "");
  EXPECT_NE(dead.body.find("Session has timed out"), std::string::npos);
  EXPECT_NE(dead.body.find("Incorrect Password, access denied"), std::string::npos);
}

}  // namespace
}  // namespace sdx
