// sdx-debugview: the debug window on Linux. Binds the socket that the extension's debug window
// and debugger output send to, in the configuration folder, and prints every record as it
// arrives until SIGINT or SIGTERM, when it removes the socket again.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win/config_folder.h"
#include "platform/win/debug_socket.h"

namespace {

constexpr const char* kUsage =
    "usage: sdx-debugview [--config-dir DIR]\n"
    "\n"
    "Shows the debug window of the SdxRemote extension: every record the extension writes while\n"
    "its WebLoggerOn setting is nonzero, and its debugger output (trace lines), marked\n"
    "\"[debugger]\". Records are printed as they arrive; nothing is kept. While no viewer runs,\n"
    "the extension drops these records.\n"
    "\n"
    "  --config-dir DIR  the configuration folder whose socket to bind (default: the\n"
    "                    SDX_CONFIG_DIR environment variable, else /etc/sendrix)\n"
    "  --help            show this text\n"
    "\n"
    "The socket is DIR/sdx-debugview.sock. SIGINT or SIGTERM ends the viewer and removes it.\n";

bool FillAddress(const std::string& path, sockaddr_un* address) {
  *address = {};
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof(address->sun_path)) return false;
  std::memcpy(address->sun_path, path.data(), path.size());
  return true;
}

// True when another viewer is bound to the path; a socket file nobody binds any more is stale.
bool SomeoneListens(const sockaddr_un& address) {
  int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  bool listening =
      connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(probe);
  return listening;
}

void Print(const char* data, size_t size) {
  if (size == 0) return;
  auto kind = static_cast<sdx::win::DebugRecordKind>(data[0]);
  std::string_view record(data + 1, size - 1);
  if (kind == sdx::win::DebugRecordKind::kDebuggerOutput) {
    std::fputs("[debugger] ", stdout);
    std::fwrite(record.data(), 1, record.size(), stdout);
    if (record.empty() || record.back() != '\n') std::fputc('\n', stdout);
  } else {
    std::fwrite(record.data(), 1, record.size(), stdout);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string config_folder;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--config-dir" && i + 1 < argc) {
      config_folder = argv[++i];
    } else if (arg.rfind("--config-dir=", 0) == 0) {
      config_folder = arg.substr(13);
    } else {
      std::fprintf(stderr, "sdx-debugview: unknown argument '%s'\n\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (!config_folder.empty()) setenv("SDX_CONFIG_DIR", config_folder.c_str(), 1);
  std::string path = sdx::win::DebugSocketPath();

  sockaddr_un address;
  if (!FillAddress(path, &address)) {
    std::fprintf(stderr, "sdx-debugview: socket path too long: %s\n", path.c_str());
    return 1;
  }
  if (SomeoneListens(address)) {
    std::fprintf(stderr, "sdx-debugview: another viewer is listening on %s\n", path.c_str());
    return 1;
  }
  unlink(path.c_str());

  // The signals arrive through a descriptor, so the loop below ends cleanly between records.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
  int signal_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC);

  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || signal_fd < 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    std::fprintf(stderr, "sdx-debugview: cannot listen on %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return 1;
  }
  // The extension may run under another account than the viewer.
  chmod(path.c_str(), 0666);
  std::fprintf(stderr, "sdx-debugview: listening on %s\n", path.c_str());

  std::vector<char> buffer(sdx::win::kMaxDebugRecord + 16);
  int exit_code = 0;
  for (;;) {
    pollfd ready[2] = {{fd, POLLIN, 0}, {signal_fd, POLLIN, 0}};
    if (poll(ready, 2, -1) < 0) {
      if (errno == EINTR) continue;
      exit_code = 1;
      break;
    }
    if (ready[1].revents != 0) break;
    if (ready[0].revents != 0) {
      ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
      if (got > 0) Print(buffer.data(), static_cast<size_t>(got));
    }
  }
  close(fd);
  unlink(path.c_str());
  return exit_code;
}
