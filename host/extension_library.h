// One loaded extension library and its three entry points. Owned by main() for the life of the
// host; the request bridge calls Proc() from many worker threads at once, Terminate() runs once
// after the last request has finished.
#pragma once

#include <memory>
#include <string>

#include "platform/isapi/isapi.h"

namespace sdx::host {

class ExtensionLibrary {
 public:
  // dlopen()s `path` with RTLD_NOW, finds the entry points and calls GetExtensionVersion.
  // Returns null with a one-line `error` when any of that fails.
  static std::unique_ptr<ExtensionLibrary> Load(const std::string& path, std::string* error);

  ExtensionLibrary(const ExtensionLibrary&) = delete;
  ExtensionLibrary& operator=(const ExtensionLibrary&) = delete;
  // Unloads the library; Terminate() must have run if Load() succeeded.
  ~ExtensionLibrary();

  const std::string& description() const { return description_; }
  HttpExtensionProcFn proc() const { return proc_; }
  // Calls TerminateExtension with kTerminateMustUnload.
  bool Terminate();

 private:
  explicit ExtensionLibrary(void* handle) : handle_(handle) {}

  void* handle_;
  std::string description_;
  HttpExtensionProcFn proc_ = nullptr;
  TerminateExtensionFn terminate_ = nullptr;
};

}  // namespace sdx::host
