// sdxhost as a process, over real HTTP on loopback, with the test extension of this folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "host/http_test_client.h"

namespace sdx::host {
namespace {

namespace fs = std::filesystem;

const std::string kHost = std::string(SDX_BINARY_DIR) + "/host/sdxhost";
const std::string kExtension = std::string(SDX_BINARY_DIR) + "/host/sdx_host_test_extension.so";

// Polls `done` until it holds; the deadline is generous, since the machine may be busy.
bool WaitUntil(const std::function<bool()>& done) {
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool WaitForFile(const fs::path& path) {
  return WaitUntil([&] { return fs::exists(path); });
}

void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

// One sdxhost child process with its own web root and marker folder.
class HostProcess {
 public:
  ~HostProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  // Starts sdxhost with `args` and waits for its "serving http://...:PORT/" line. Returns false
  // when it exits first; its exit code is then in exit_code().
  bool Start(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return false;
    int err_fd = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipe_fds[1], 1);
      dup2(err_fd, 2);
      for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
      std::vector<char*> argv = {const_cast<char*>(kHost.c_str())};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(kHost.c_str(), argv.data());
      _exit(127);
    }
    close(pipe_fds[1]);
    close(err_fd);
    out_ = pipe_fds[0];
    std::string line;
    char c;
    while (read(out_, &c, 1) == 1 && c != '\n') line += c;
    std::smatch match;
    if (!std::regex_search(line, match, std::regex(R"(http://127\.0\.0\.1:(\d+)/)"))) {
      Wait();
      return false;
    }
    port_ = std::stoi(match[1]);
    return true;
  }

  // Waits for the process to end and returns its exit code (-1 when killed by a signal).
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit_code_;
  }

  void Signal(int signal_number) { kill(pid_, signal_number); }
  int port() const { return port_; }
  int exit_code() const { return exit_code_; }
  std::string Stderr() const {
    std::ifstream in(err_path_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void set_err_path(const fs::path& path) { err_path_ = path; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int port_ = 0;
  int exit_code_ = 0;
  fs::path err_path_ = "/dev/null";
};

class SdxHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(SDX_BINARY_DIR) / "host" / "test-tmp" /
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "root" / "sub");
    fs::create_directories(dir_ / "marks");
    std::ofstream(dir_ / "root" / "hello.txt") << "hello from the site\n";
    std::ofstream(dir_ / "root" / "sub" / "inner.txt") << "inner\n";
    host_.set_err_path(dir_ / "stderr.txt");
  }

  void StartHost(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {
        "--listen", "127.0.0.1:0", "--root", (dir_ / "root").string(), "--extension", kExtension};
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_TRUE(host_.Start(args, {"SDX_TEST_MARKER_DIR=" + (dir_ / "marks").string()}))
        << host_.Stderr();
  }

  // A response on a fresh connection from raw request bytes.
  HttpResponse Exchange(const std::string& request) {
    HttpTestConnection connection(host_.port());
    HttpResponse response;
    EXPECT_TRUE(connection.Send(request));
    EXPECT_TRUE(connection.ReadResponse(&response)) << request.substr(0, 80);
    return response;
  }

  static std::string Post(const std::string& target, const std::string& body) {
    return "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
  }

  fs::path dir_;
  HostProcess host_;
};

TEST_F(SdxHostTest, QueryStringIsEverythingAfterTheFirstQuestionMark) {
  StartHost();
  HttpResponse response = Get(host_.port(), "/SdxRemote.dll?echo&a?b=c%20d");
  EXPECT_EQ(response.status, 200);
  EXPECT_NE(response.body.find("method=GET\n"), std::string::npos) << response.body;
  EXPECT_NE(response.body.find("query=echo&a?b=c%20d\n"), std::string::npos) << response.body;
  EXPECT_NE(response.body.find("path=/SdxRemote.dll\n"), std::string::npos) << response.body;
  EXPECT_NE(response.body.find("total=0\n"), std::string::npos) << response.body;
}

TEST_F(SdxHostTest, ExtensionPathMatchesInAnyLetterCase) {
  StartHost();
  for (const char* path :
       {"/SdxRemote.dll", "/sdxremote.dll", "/SDXREMOTE.DLL", "/sdxRemote.Dll"}) {
    HttpResponse response = Get(host_.port(), std::string(path) + "?echo");
    EXPECT_EQ(response.status, 200) << path;
    EXPECT_NE(response.body.find("method=GET"), std::string::npos) << path;
  }
  for (const char* path : {"/SdxRemote.dllx", "/sub/SdxRemote.dll", "/SdxRemote"}) {
    EXPECT_EQ(Get(host_.port(), std::string(path) + "?echo").status, 404) << path;
  }
}

TEST_F(SdxHostTest, PostBodiesReachTheExtensionWhole) {
  StartHost();
  struct Case {
    size_t size;
    size_t available;  // what the read-ahead holds when the extension is called
  };
  for (Case c : {Case{1, 1}, Case{1000, 1000}, Case{49152, 49152}, Case{200000, 49152}}) {
    std::string body;
    for (size_t i = 0; i < c.size; ++i) body += static_cast<char>('a' + i % 26);
    HttpResponse response = Exchange(Post("/SdxRemote.dll?echo", body));
    EXPECT_EQ(response.status, 200);
    EXPECT_NE(response.body.find("method=POST\n"), std::string::npos);
    EXPECT_NE(response.body.find("content_type=application/x-www-form-urlencoded\n"),
              std::string::npos);
    EXPECT_NE(response.body.find("total=" + std::to_string(c.size) + "\n"), std::string::npos)
        << c.size;
    EXPECT_NE(response.body.find("available=" + std::to_string(c.available) + "\n"),
              std::string::npos)
        << c.size;
    size_t at = response.body.find("\nbody=");
    ASSERT_NE(at, std::string::npos);
    EXPECT_TRUE(response.body.compare(at + 6, std::string::npos, body) == 0) << c.size;
  }
}

TEST_F(SdxHostTest, ChunkedUploadArrivesWithItsSize) {
  StartHost();
  HttpResponse response = Exchange(
      "POST /SdxRemote.dll?echo HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
      "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n");
  EXPECT_EQ(response.status, 200);
  EXPECT_NE(response.body.find("total=11\n"), std::string::npos) << response.body;
  EXPECT_NE(response.body.find("body=hello world"), std::string::npos) << response.body;
}

TEST_F(SdxHostTest, StatusesChosenByTheExtensionReachTheWire) {
  StartHost();
  HttpTestConnection connection(host_.port());
  for (int code : {200, 400, 501, 204, 500}) {
    // All on one connection: a status must never break the framing of the next response.
    ASSERT_TRUE(connection.Send("GET /SdxRemote.dll?status=" + std::to_string(code) +
                                " HTTP/1.1\r\nHost: x\r\n\r\n"));
    HttpResponse response;
    ASSERT_TRUE(connection.ReadResponse(&response)) << code;
    EXPECT_EQ(response.status_line, "HTTP/1.1 " + std::to_string(code) + " Test Status");
    if (code == 204) {
      EXPECT_FALSE(response.HasHeader("Transfer-Encoding"));
      EXPECT_FALSE(response.HasHeader("Content-Length"));
    } else {
      EXPECT_EQ(response.body, "<p>status " + std::to_string(code) + "</p>");
    }
  }
  // The 204's page, had it leaked, would stand here instead of the next status line.
  ASSERT_TRUE(connection.Send("GET /SdxRemote.dll?status=200 HTTP/1.1\r\nHost: x\r\n\r\n"));
  HttpResponse last;
  ASSERT_TRUE(connection.ReadResponse(&last));
  EXPECT_EQ(last.status, 200);
}

TEST_F(SdxHostTest, ExtensionErrorWithoutHeadGives500Page) {
  StartHost();
  HttpResponse response = Get(host_.port(), "/SdxRemote.dll?no-such-behaviour");
  EXPECT_EQ(response.status_line, "HTTP/1.1 500 Internal Server Error");
  EXPECT_NE(response.body.find("500 Internal Server Error"), std::string::npos);
}

TEST_F(SdxHostTest, MethodsOtherThanGetAndPostAreRefused) {
  StartHost();
  for (const char* method : {"PUT", "DELETE", "OPTIONS", "HEAD"}) {
    std::string request =
        std::string(method) + " /SdxRemote.dll?echo HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
    request += std::string(method) == "PUT" ? "Content-Length: 3\r\n\r\nabc" : "\r\n";
    HttpTestConnection connection(host_.port());
    ASSERT_TRUE(connection.Send(request));
    std::string raw;
    connection.ReadToEnd(&raw);
    EXPECT_EQ(raw.rfind("HTTP/1.1 405 Method Not Allowed\r\n", 0), 0u) << method << raw;
    EXPECT_NE(raw.find("\r\nAllow: GET, POST\r\n"), std::string::npos) << method;
    EXPECT_EQ(raw.find("method="), std::string::npos) << method;
  }
}

TEST_F(SdxHostTest, ChunkedResponsesKeepTheConnectionAlive) {
  StartHost();
  HttpTestConnection connection(host_.port());
  // A body the extension leaves unread must not be taken for the next request.
  std::string unread(100000, 'z');
  ASSERT_TRUE(
      connection.Send("POST /SdxRemote.dll?status=200 HTTP/1.1\r\nHost: x\r\n"
                      "Content-Length: " +
                      std::to_string(unread.size()) + "\r\n\r\n" + unread));
  HttpResponse first;
  ASSERT_TRUE(connection.ReadResponse(&first));
  EXPECT_EQ(first.status, 200);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(connection.Send("GET /SdxRemote.dll?rows=500 HTTP/1.1\r\nHost: x\r\n\r\n"));
    HttpResponse response;
    ASSERT_TRUE(connection.ReadResponse(&response)) << i;
    EXPECT_TRUE(response.chunked);
    EXPECT_FALSE(response.HasHeader("Connection"));
    EXPECT_EQ(response.body.rfind("row 0\nrow 1\n", 0), 0u);
    EXPECT_NE(response.body.find("\nrow 499\n"), std::string::npos);
  }
}

TEST_F(SdxHostTest, Http10GetsACloseDelimitedBody) {
  StartHost();
  for (const char* connection_header : {"", "Connection: keep-alive\r\n"}) {
    HttpTestConnection connection(host_.port());
    ASSERT_TRUE(connection.Send(std::string("GET /SdxRemote.dll?rows=3 HTTP/1.0\r\n") +
                                connection_header + "\r\n"));
    std::string raw;
    // The server must end the body by closing, even when the client asked to keep it open.
    ASSERT_TRUE(connection.ReadToEnd(&raw)) << connection_header;
    EXPECT_EQ(raw.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(raw.find("Transfer-Encoding"), std::string::npos);
    EXPECT_NE(raw.find("\r\nConnection: close\r\n"), std::string::npos);
    EXPECT_EQ(raw.substr(raw.find("\r\n\r\n") + 4), "row 0\nrow 1\nrow 2\n");
  }
}

TEST_F(SdxHostTest, PageReachesTheClientWhileTheExtensionStillWrites) {
  StartHost();
  fs::path release = dir_ / "release";
  HttpTestConnection connection(host_.port());
  ASSERT_TRUE(connection.Send("GET /SdxRemote.dll?wait=" + release.string() +
                              " HTTP/1.1\r\nHost: x\r\n\r\n"));
  std::string received;
  // The extension holds its last piece until the release file exists, so this only returns if
  // the first pieces went out on their own.
  ASSERT_TRUE(connection.ReadUntil("first-piece\n", &received));
  EXPECT_EQ(received.find("last-piece"), std::string::npos);
  Touch(release);
  ASSERT_TRUE(connection.ReadUntil("0\r\n\r\n", &received));
  EXPECT_NE(received.find("last-piece\n"), std::string::npos);
}

TEST_F(SdxHostTest, BodyOverTheCapGets413WithoutCallingTheExtension) {
  StartHost({"--max-body", "1000"});
  HttpResponse ok = Exchange(Post("/SdxRemote.dll?echo", std::string(1000, 'x')));
  EXPECT_EQ(ok.status, 200);
  // Only the head: the host must answer without waiting for a body it will not take.
  HttpTestConnection connection(host_.port());
  ASSERT_TRUE(connection.Send(
      "POST /SdxRemote.dll?echo HTTP/1.1\r\nHost: x\r\nContent-Length: 1001\r\n\r\n"));
  std::string raw;
  connection.ReadToEnd(&raw);
  EXPECT_EQ(raw.rfind("HTTP/1.1 413 ", 0), 0u) << raw;
  EXPECT_EQ(raw.find("method="), std::string::npos);
}

TEST_F(SdxHostTest, ExpectContinueIsAnsweredOnce) {
  StartHost();
  HttpTestConnection connection(host_.port());
  ASSERT_TRUE(
      connection.Send("POST /SdxRemote.dll?echo HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                      "Expect: 100-continue\r\nContent-Length: 4\r\n\r\n"));
  std::string received;
  ASSERT_TRUE(connection.ReadUntil("\r\n\r\n", &received));
  EXPECT_EQ(received, "HTTP/1.1 100 Continue\r\n\r\n");
  ASSERT_TRUE(connection.Send("abcd"));
  received.clear();
  connection.ReadToEnd(&received);
  EXPECT_EQ(received.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << received;
  EXPECT_NE(received.find("body=abcd"), std::string::npos);
}

TEST_F(SdxHostTest, ShortBodyFailsReadClientAndTheHostSurvives) {
  StartHost();
  HttpTestConnection connection(host_.port());
  ASSERT_TRUE(connection.Send(
      "POST /SdxRemote.dll?echo HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\n" +
      std::string(60000, 'y')));
  connection.ShutdownWrite();
  EXPECT_TRUE(WaitForFile(dir_ / "marks" / "read-failed"));
  EXPECT_EQ(Get(host_.port(), "/SdxRemote.dll?status=200").status, 200);
}

TEST_F(SdxHostTest, ClientLeavingMidPageFailsWriteClientAndTheHostSurvives) {
  StartHost();
  {
    HttpTestConnection connection(host_.port());
    ASSERT_TRUE(connection.Send("GET /SdxRemote.dll?rows=100000000 HTTP/1.1\r\nHost: x\r\n\r\n"));
    std::string received;
    ASSERT_TRUE(connection.ReadUntil("row 1000\n", &received));
  }
  EXPECT_TRUE(WaitForFile(dir_ / "marks" / "write-failed"));
  EXPECT_EQ(Get(host_.port(), "/SdxRemote.dll?status=200").status, 200);
}

TEST_F(SdxHostTest, StaticFilesAreServedAndFoldersNotListed) {
  StartHost();
  HttpResponse file = Get(host_.port(), "/hello.txt");
  EXPECT_EQ(file.status, 200);
  EXPECT_EQ(file.body, "hello from the site\n");
  EXPECT_FALSE(file.HasHeader("Access-Control-Allow-Origin"));
  HttpResponse folder = Get(host_.port(), "/sub/");
  EXPECT_GE(folder.status, 400);
  EXPECT_LT(folder.status, 500);
  EXPECT_EQ(folder.body.find("inner.txt"), std::string::npos);
  HttpTestConnection put(host_.port());
  ASSERT_TRUE(put.Send("PUT /new.txt HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\nhi"));
  HttpResponse refused;
  ASSERT_TRUE(put.ReadResponse(&refused));
  EXPECT_GE(refused.status, 400);
  EXPECT_FALSE(fs::exists(dir_ / "root" / "new.txt"));
}

TEST_F(SdxHostTest, OversizedHeadIsRefusedAndTheHostGoesOn) {
  StartHost();
  HttpTestConnection connection(host_.port());
  ASSERT_TRUE(connection.Send("GET /SdxRemote.dll?echo HTTP/1.1\r\nHost: x\r\nX-Big: " +
                              std::string(40000, 'b') + "\r\n\r\n"));
  std::string raw;
  connection.ReadToEnd(&raw);
  ASSERT_GE(raw.size(), 12u);
  EXPECT_EQ(raw[9], '4') << raw.substr(0, 40);
  EXPECT_EQ(Get(host_.port(), "/SdxRemote.dll?status=200").status, 200);
}

TEST_F(SdxHostTest, SigtermFinishesRunningRequestsAndTerminatesTheExtension) {
  StartHost();
  fs::path release = dir_ / "release";
  HttpTestConnection running(host_.port());
  ASSERT_TRUE(
      running.Send("GET /SdxRemote.dll?wait=" + release.string() + " HTTP/1.1\r\nHost: x\r\n\r\n"));
  std::string received;
  ASSERT_TRUE(running.ReadUntil("first-piece\n", &received));
  host_.Signal(SIGTERM);
  // Once the host drains, new requests are turned away; the running one goes on.
  EXPECT_TRUE(WaitUntil([&] { return Get(host_.port(), "/hello.txt").status == 503; }));
  EXPECT_FALSE(fs::exists(dir_ / "marks" / "terminated"));
  Touch(release);
  ASSERT_TRUE(running.ReadUntil("0\r\n\r\n", &received));
  EXPECT_NE(received.find("last-piece\n"), std::string::npos);
  EXPECT_EQ(host_.Wait(), 0);
  EXPECT_TRUE(fs::exists(dir_ / "marks" / "terminated"));
}

TEST_F(SdxHostTest, WithoutAnExtensionTheSiteIsServedAndTheExtensionPathAnswers503) {
  ASSERT_TRUE(host_.Start(
      {"--listen", "127.0.0.1:0", "--root", (dir_ / "root").string(), "--no-extension"}))
      << host_.Stderr();
  EXPECT_EQ(Get(host_.port(), "/hello.txt").status, 200);
  EXPECT_EQ(Get(host_.port(), "/SdxRemote.dll?echo").status, 503);
  host_.Signal(SIGINT);
  EXPECT_EQ(host_.Wait(), 0);
}

TEST_F(SdxHostTest, AccessLogRecordsTheStatusTheExtensionSent) {
  fs::path log = dir_ / "access.log";
  StartHost({"--access-log", log.string()});
  EXPECT_EQ(Get(host_.port(), "/SdxRemote.dll?status=501").status, 501);
  std::string text;
  WaitUntil([&] {
    std::ifstream in(log);
    text.assign(std::istreambuf_iterator<char>(in), {});
    return text.find("\" 501 ") != std::string::npos;
  });
  EXPECT_NE(text.find("\"GET /SdxRemote.dll?status=501 HTTP/1.1\" 501 "), std::string::npos)
      << text;
}

TEST_F(SdxHostTest, StartFailuresExitWithAClearMessage) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> env;
    int exit_code;
    std::string message;
  };
  std::string root = (dir_ / "root").string();
  const Case kCases[] = {
      {{"--root", root, "--extension", kExtension},
       {"SDX_TEST_REFUSE_START=1"},
       1,
       "GetExtensionVersion returned false"},
      {{"--root", root, "--extension", (dir_ / "missing.so").string()}, {}, 1, "cannot load"},
      {{"--root", root, "--listen", "localhost"}, {}, 2, "--listen"},
      {{"--root", root, "--threads", "0"}, {}, 2, "--threads"},
      {{"--root", root, "--bogus"}, {}, 2, "unknown option"},
      {{"--root", (dir_ / "nowhere").string()}, {}, 2, "not a folder"},
  };
  for (const Case& c : kCases) {
    HostProcess host;
    host.set_err_path(dir_ / "stderr.txt");
    std::vector<std::string> args = {"--listen", "127.0.0.1:0"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_FALSE(host.Start(args, c.env)) << c.message;
    EXPECT_EQ(host.exit_code(), c.exit_code) << c.message;
    EXPECT_NE(host.Stderr().find(c.message), std::string::npos) << host.Stderr();
  }
}

}  // namespace
}  // namespace sdx::host
