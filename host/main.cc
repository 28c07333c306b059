// sdxhost: loads the extension library, serves it and the site until SIGTERM or SIGINT, then
// lets running requests finish and unloads the extension.
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "host/extension_library.h"
#include "host/host_options.h"
#include "host/web_host.h"

int main(int argc, char** argv) {
  sdx::host::HostOptions options;
  options.root = SDX_DEFAULT_ROOT;
  options.extension = SDX_DEFAULT_EXTENSION;
  std::string error;
  if (!sdx::host::ParseHostOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "sdxhost: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(sdx::host::HostUsage(options).c_str(), stdout);
    return 0;
  }
  std::error_code ignored;
  if (!std::filesystem::is_directory(options.root, ignored)) {
    std::fprintf(stderr, "sdxhost: web root '%s' is not a folder\n", options.root.c_str());
    return 2;
  }

  // Every thread started from here on inherits the blocked signals; only sigwait sees them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  std::unique_ptr<sdx::host::ExtensionLibrary> extension;
  if (!options.extension.empty()) {
    extension = sdx::host::ExtensionLibrary::Load(options.extension, &error);
    if (extension == nullptr) {
      std::fprintf(stderr, "sdxhost: %s\n", error.c_str());
      return 1;
    }
  }
  auto host = std::make_unique<sdx::host::WebHost>(
      options, extension != nullptr ? extension->proc() : nullptr);
  if (!host->Start(&error)) {
    std::fprintf(stderr, "sdxhost: %s\n", error.c_str());
    if (extension != nullptr) extension->Terminate();
    return 1;
  }
  std::string address = options.listen.substr(0, options.listen.rfind(':'));
  std::printf("sdxhost: serving http://%s:%d/ from %s", address.c_str(), host->port(),
              options.root.c_str());
  if (extension != nullptr) {
    std::printf(" with %s (%s)\n", options.extension.c_str(), extension->description().c_str());
  } else {
    std::printf(" without an extension\n");
  }
  std::fflush(stdout);

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  host->Stop();
  host.reset();
  if (extension != nullptr && !extension->Terminate()) {
    std::fprintf(stderr, "sdxhost: TerminateExtension reported a failure\n");
  }
  return 0;
}
