#include "frame/server_commands.h"

#include <atomic>
#include <string_view>

#include "frame/event_viewer_server.h"
#include "frame/product_commands.h"
#include "sessions/logon_page.h"
#include "sessions/menu_page.h"

namespace sdx {
namespace {

std::atomic<EventViewerServer*> served_server{nullptr};

const SignOnServices& SignOn() { return served_server.load()->sign_on_services(); }

void LogOnOffCommand(HttpServerContext& context, const CommandArguments& arguments) {
  LogOnOff(context, SignOn(), arguments.Text(0), arguments.Long(1));
}

void AlertweaveMenuCommand(HttpServerContext& context, const CommandArguments& arguments) {
  AlertweaveMenu(context, SignOn(), arguments.Text(0), arguments.Text(1), arguments.Text(2));
}

void DefaultCommand(HttpServerContext& context, const CommandArguments&) {
  DefaultPage(context, SignOn());
}

struct Wiring {
  std::string_view command;
  CommandHandler handler;
};

constexpr Wiring kWiring[] = {
    {"LogOnOff", &LogOnOffCommand},
    {"AlertweaveMenu", &AlertweaveMenuCommand},
    {"Default", &DefaultCommand},
};

}  // namespace

CommandTable ServerCommandTable(EventViewerServer* server) {
  served_server.store(server);
  CommandTable table = ProductCommandTable();
  for (CommandEntry& entry : table.commands) {
    for (const Wiring& wiring : kWiring) {
      if (entry.name == wiring.command) entry.handler = wiring.handler;
    }
  }
  return table;
}

}  // namespace sdx
