// sendrix-sim: plays the paging server for demos and tests. `init` makes a demo data folder,
// `run` keeps escalating on it, `pause` announces a database pause and ends it.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win/named_event.h"
#include "tools/sendrix_sim/demo_folder.h"
#include "tools/sendrix_sim/simulator.h"

namespace {

constexpr char kUsage[] =
    "usage: sendrix-sim init DIR [--seed N] [--events N] [--templates DIR] [--extension-dir DIR] "
    "[--now SECONDS]\n"
    "       sendrix-sim run DIR [--seed N] [--interval-ms N] [--steps N] [--verbose]\n"
    "       sendrix-sim pause DIR on|off\n"
    "\n"
    "  init   make a demo data folder: DIR/evhub.ini, the tables in DIR/database and\n"
    "         LogStatusMsgs in DIR; --events N escalation events of about ten rows each\n"
    "         (default 300), spread over the 30 days before --now (default: now); the same\n"
    "         seed gives the same data. Prints the demo sign-on.\n"
    "  run    keep appending escalations and replies and changing event states, one step per\n"
    "         interval (default 1000 ms), until SIGINT or SIGTERM\n"
    "  pause  on: announce a pause of the tables (the extension closes them and waits);\n"
    "         off: end it (the extension reopens them)\n";

constexpr char kPauseEvent[] = "Global\\CorvanSoftware_SdxPauseEvent";
constexpr char kPauseHasOccurredEvent[] = "Global\\CorvanSoftware_SdxPauseHasOccuredEvent";

std::atomic<bool> stop_requested{false};

void OnStopSignal(int) { stop_requested.store(true); }

// The value after option `name`, if present; false on a malformed number.
bool NumberOption(const std::vector<std::string_view>& args, std::string_view name,
                  long long* value) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] != name) continue;
    char* end = nullptr;
    const std::string text(args[i + 1]);
    *value = std::strtoll(text.c_str(), &end, 10);
    return end != text.c_str() && *end == '\0';
  }
  return true;
}

std::string TextOption(const std::vector<std::string_view>& args, std::string_view name,
                       std::string fallback) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == name) return std::string(args[i + 1]);
  }
  return fallback;
}

int Init(const std::string& dir, const std::vector<std::string_view>& args) {
  sdx::sim::DemoOptions options;
  long long seed = 1, events = options.events, now = 0;
  if (!NumberOption(args, "--seed", &seed) || !NumberOption(args, "--events", &events) ||
      !NumberOption(args, "--now", &now) || events < 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  options.seed = static_cast<uint64_t>(seed);
  options.events = static_cast<int>(events);
  options.now = now;
  options.templates = TextOption(args, "--templates", SDX_SITE_DIR);
  options.extension_folder = TextOption(args, "--extension-dir", SDX_EXTENSION_DIR);
  sdx::sim::DemoSignOn sign_on;
  std::string error;
  if (!sdx::sim::MakeDemoFolder(dir, options, &sign_on, &error)) {
    std::fprintf(stderr, "sendrix-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("Demo data in %s\nSign on as \"%s\" with password \"%s\"\n", dir.c_str(),
              sign_on.profile.c_str(), sign_on.password.c_str());
  return 0;
}

int Run(const std::string& dir, const std::vector<std::string_view>& args) {
  sdx::sim::RunOptions options;
  long long seed = 1, interval = 1000, steps = 0;
  if (!NumberOption(args, "--seed", &seed) || !NumberOption(args, "--interval-ms", &interval) ||
      !NumberOption(args, "--steps", &steps) || interval < 0 || steps < 0) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  options.seed = static_cast<uint64_t>(seed);
  options.interval = std::chrono::milliseconds(interval);
  options.steps = static_cast<long>(steps);
  for (std::string_view arg : args) options.verbose |= arg == "--verbose";
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::string error;
  if (!sdx::sim::RunSimulator(dir, options, stop_requested, &error)) {
    std::fprintf(stderr, "sendrix-sim: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

// A pause: the pause event reset (the server is rebuilding) and the pause-has-occurred event
// reset (announced, not yet handled). Its end: the pause event set; the extension sets the
// other once it has reopened its tables.
int Pause(std::string_view state) {
  if (state != "on" && state != "off") {
    std::fputs(kUsage, stderr);
    return 2;
  }
  sdx::win::NamedEvent pause, occurred;
  for (auto [event, name] : {std::pair{&pause, kPauseEvent}, {&occurred, kPauseHasOccurredEvent}}) {
    if (int rc = event->CreateOrOpen(name, sdx::win::EventReset::kManual, true,
                                     sdx::win::ObjectSecurity::kOpen);
        rc != 0) {
      std::fprintf(stderr, "sendrix-sim: %s: %s\n", name, std::strerror(rc));
      return 1;
    }
  }
  if (state == "on") {
    pause.Reset();
    occurred.Reset();
  } else {
    pause.Set();
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string dir(args[1]);
  const std::vector<std::string_view> rest(args.begin() + 2, args.end());
  if (args[0] == "init") return Init(dir, rest);
  if (args[0] == "run") return Run(dir, rest);
  if (args[0] == "pause" && rest.size() == 1) return Pause(rest[0]);
  std::fputs(kUsage, stderr);
  return 2;
}
