// sdx-event: sets, resets or shows a named event from a shell, so that a pause of the paging
// server can be announced and ended without it (and the extension's reaction watched).
#include <string.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/win/named_event.h"

namespace {

constexpr char kUsage[] =
    "usage: sdx-event set|reset|state NAME\n"
    "\n"
    "  set NAME     signal the event (made manual reset and open to every account if missing)\n"
    "  reset NAME   clear the event (made the same way if missing)\n"
    "  state NAME   print \"set\" or \"reset\"; exit code 1 when there is no such event\n"
    "\n"
    "NAME is the platform name, e.g. Global\\\\CorvanSoftware_SdxPauseEvent, or one of:\n"
    "  pause        Global\\CorvanSoftware_SdxPauseEvent: reset while the paging server\n"
    "               rebuilds its tables, set when it is done\n"
    "  pause-done   Global\\CorvanSoftware_SdxPauseHasOccuredEvent: reset announces a pause,\n"
    "               the extension sets it once it has reopened its tables\n"
    "  weblock      Global\\CorvanSoftware_WebLock\n"
    "\n"
    "A pause from the shell: reset pause, reset pause-done; ... ; set pause.\n";

std::string EventName(std::string_view name) {
  if (name == "pause") {
    return "Global\\CorvanSoftware_SdxPauseEvent";
  }
  if (name == "pause-done") {
    return "Global\\CorvanSoftware_SdxPauseHasOccuredEvent";
  }
  if (name == "weblock") {
    return "Global\\CorvanSoftware_WebLock";
  }
  return std::string(name);
}

int Fail(const std::string& name, int error) {
  fprintf(stderr, "sdx-event: %s: %s\n", name.c_str(), strerror(error));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
    fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 3) {
    fputs(kUsage, stderr);
    return 2;
  }
  const std::string_view command = argv[1];
  const std::string name = EventName(argv[2]);
  sdx::win::NamedEvent event;
  if (command == "state") {
    const int rc = event.Open(name);
    if (rc != 0) {
      return Fail(name, rc);
    }
    puts(event.IsSet() ? "set" : "reset");
    return 0;
  }
  if (command != "set" && command != "reset") {
    fputs(kUsage, stderr);
    return 2;
  }
  const bool set = command == "set";
  // A missing event is made the way the paging server makes it; one that exists keeps its type.
  const int rc =
      event.CreateOrOpen(name, sdx::win::EventReset::kManual, set, sdx::win::ObjectSecurity::kOpen);
  if (rc != 0) {
    return Fail(name, rc);
  }
  if (!(set ? event.Set() : event.Reset())) {
    fprintf(stderr, "sdx-event: %s: cannot change the event\n", name.c_str());
    return 1;
  }
  return 0;
}
