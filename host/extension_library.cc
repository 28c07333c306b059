#include "host/extension_library.h"

#include <dlfcn.h>

#include <cstring>

namespace sdx::host {

std::unique_ptr<ExtensionLibrary> ExtensionLibrary::Load(const std::string& path,
                                                         std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    *error = "cannot load extension: " + std::string(why != nullptr ? why : path);
    return nullptr;
  }
  std::unique_ptr<ExtensionLibrary> library(new ExtensionLibrary(handle));
  auto version =
      reinterpret_cast<GetExtensionVersionFn>(dlsym(handle, sdx::isapi::kGetExtensionVersionName));
  library->proc_ =
      reinterpret_cast<HttpExtensionProcFn>(dlsym(handle, sdx::isapi::kHttpExtensionProcName));
  library->terminate_ =
      reinterpret_cast<TerminateExtensionFn>(dlsym(handle, sdx::isapi::kTerminateExtensionName));
  const char* missing = version == nullptr               ? sdx::isapi::kGetExtensionVersionName
                        : library->proc_ == nullptr      ? sdx::isapi::kHttpExtensionProcName
                        : library->terminate_ == nullptr ? sdx::isapi::kTerminateExtensionName
                                                         : nullptr;
  if (missing != nullptr) {
    *error = "extension " + path + " does not export " + missing;
    return nullptr;
  }
  sdx::isapi::VersionInfo info{};
  if (!version(&info)) {
    *error = "extension " + path + " refused to start (GetExtensionVersion returned false)";
    return nullptr;
  }
  library->description_.assign(info.description,
                               strnlen(info.description, sizeof(info.description)));
  return library;
}

ExtensionLibrary::~ExtensionLibrary() { dlclose(handle_); }

bool ExtensionLibrary::Terminate() {
  if (terminate_ == nullptr) return true;
  TerminateExtensionFn terminate = terminate_;
  terminate_ = nullptr;
  return terminate(sdx::isapi::kTerminateMustUnload);
}

}  // namespace sdx::host
