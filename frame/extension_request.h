// One call of HttpExtensionProc: takes the request text from the host's control block (the
// query of a GET, the whole body of a POST), trims it, dispatches it and answers a failure of
// the dispatch with its HTTP status and a short error page. Used by the extension's entry point
// with the product's dispatcher, and by the frame's tests with their own.
#pragma once

#include <cstdint>
#include <string>

#include "frame/command_dispatcher.h"
#include "platform/isapi/isapi.h"

namespace sdx {

// Removes blanks, carriage returns and line feeds from the end, keeping the first character.
void TrimRequestText(std::string* text);

// The ISAPI status for the host: kStatusError when the control block is not ours, the method
// is neither GET nor POST or the body cannot be read completely (no handler runs then);
// kStatusSuccess otherwise, the failures of the dispatch included.
uint32_t ServeExtensionRequest(isapi::ExtensionControlBlock* ecb, CommandDispatcher* dispatcher);

}  // namespace sdx
