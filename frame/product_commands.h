// The command table of SdxRemote: the eight commands of its URL interface with their
// parameters, in order, and their defaults. The parameter names are at the same time the
// field names of the templates' forms and of the links the pages generate.
//
// A command whose handler is still null answers 501 "Not Implemented", as an unknown command
// does, until the feature that owns its page puts its handler into the table.
#pragma once

#include "frame/command_table.h"

namespace sdx {

const CommandTable& ProductCommandTable();

}  // namespace sdx
