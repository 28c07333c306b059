// The entry points the web host looks up in sdxremote.so. Only these have default visibility
// (see sdxremote.map); everything else of the extension stays inside the library.
#include <cstring>

#include "frame/command_dispatcher.h"
#include "frame/extension_request.h"
#include "frame/product_commands.h"
#include "platform/isapi/isapi.h"

namespace {

constexpr const char* kDescription = "SdxRemote Extension";

sdx::CommandDispatcher& ProductDispatcher() {
  static sdx::CommandDispatcher dispatcher(&sdx::ProductCommandTable());
  return dispatcher;
}

}  // namespace

extern "C" {

bool GetExtensionVersion(sdx::isapi::VersionInfo* info) {
  if (info != nullptr) {
    info->extension_version =
        sdx::isapi::MakeVersion(sdx::isapi::kVersionMajor, sdx::isapi::kVersionMinor);
    std::strncpy(info->description, kDescription, sizeof(info->description) - 1);
    info->description[sizeof(info->description) - 1] = '\0';
  }
  return true;
}

uint32_t HttpExtensionProc(sdx::isapi::ExtensionControlBlock* ecb) {
  return sdx::ServeExtensionRequest(ecb, &ProductDispatcher());
}

bool TerminateExtension(uint32_t flags) { return true; }

}  // extern "C"
