// The entry points the web host looks up in sdxremote.so. Only these and the two table exports
// have default visibility (see sdxremote.map); everything else stays inside the library.
//
// The server object is a function-local static, made by a load-time constructor function, so
// that it is built when the library is loaded, as the host expects, and destroyed when it is
// unloaded. A namespace-scope object would be built in an order across files that nobody
// controls; here the order is explicit. The constructor function runs among the library's own
// initialisers in link order, possibly first: construction therefore reaches only code whose
// state is constant-initialised (settings, templates, sessions, named objects, the tables'
// constructors); the device directory, which has run-time initialised state, is first used by
// GetExtensionVersion, after loading has finished.
#include <memory>

#include "frame/command_dispatcher.h"
#include "frame/event_viewer_server.h"
#include "frame/extension_request.h"
#include "frame/server_commands.h"
#include "platform/isapi/isapi.h"

namespace {

struct Extension {
  Extension() : table(sdx::ServerCommandTable(&server)), dispatcher(&table) {}

  sdx::EventViewerServer server;
  sdx::CommandTable table;
  sdx::CommandDispatcher dispatcher;
};

// Null only when the server object could not be built at all (no memory):
// nothing may escape from here into the host's dlopen.
Extension* TheExtension() {
  static const std::unique_ptr<Extension> extension = []() -> std::unique_ptr<Extension> {
    try {
      return std::make_unique<Extension>();
    } catch (...) {
      return nullptr;
    }
  }();
  return extension.get();
}

[[gnu::constructor]] void LoadExtension() { TheExtension(); }

}  // namespace

extern "C" {

bool GetExtensionVersion(sdx::isapi::VersionInfo* info) {
  Extension* extension = TheExtension();
  return extension != nullptr && extension->server.GetExtensionVersion(info);
}

uint32_t HttpExtensionProc(sdx::isapi::ExtensionControlBlock* ecb) {
  Extension* extension = TheExtension();
  if (extension == nullptr) return sdx::isapi::kStatusError;
  return sdx::ServeExtensionRequest(ecb, &extension->dispatcher);
}

bool TerminateExtension(uint32_t flags) {
  if (Extension* extension = TheExtension()) extension->server.TerminateExtension(flags);
  return true;
}

}  // extern "C"
