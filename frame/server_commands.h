// The product's command table bound to a server object: the grammar of product_commands.h with
// the handlers of the commands whose pages the server answers. Commands still without a page
// keep their null handler and answer 501 "Not Implemented".
#pragma once

#include "frame/command_table.h"

namespace sdx {

class EventViewerServer;

// Handlers are plain functions, so the server they serve is kept here: one per process, the
// extension's own, or a test's while it runs. `server` must outlive every request.
CommandTable ServerCommandTable(EventViewerServer* server);

}  // namespace sdx
