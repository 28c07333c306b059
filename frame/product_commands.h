// The command table of SdxRemote: the eight commands of its URL interface with their
// parameters, in order, and their defaults. The parameter names are at the same time the
// field names of the templates' forms and of the links the pages generate.
//
// The table here is the grammar alone: every handler is null. The server binds the handlers of
// the pages it has (server_commands.h); a command still without a page answers 501 "Not
// Implemented", as an unknown command does.
#pragma once

#include "frame/command_table.h"

namespace sdx {

const CommandTable& ProductCommandTable();

}  // namespace sdx
