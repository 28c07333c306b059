// The command line of sdxhost: where to listen, what to serve and with which limits. Filled once
// by main() from argv and read by the web host; nothing here touches the network or the disk.
#pragma once

#include <cstdint>
#include <string>

namespace sdx::host {

inline constexpr uint64_t kDefaultMaxBody = 1024 * 1024;
inline constexpr int kDefaultThreads = 64;

struct HostOptions {
  std::string listen = "127.0.0.1:8080";  // ADDR:PORT; port 0 asks the system for a free one
  std::string root;                       // web root of the static files
  std::string extension;                  // extension library; empty: serve the site only
  int threads = kDefaultThreads;
  uint64_t max_body = kDefaultMaxBody;  // larger request bodies are refused with 413
  std::string access_log;               // empty: no access log
  bool help = false;
};

// Reads argv into `options`, which holds the defaults on entry. On a bad option returns false
// with a one-line `error`; "--help" sets options->help and stops reading.
bool ParseHostOptions(int argc, const char* const* argv, HostOptions* options, std::string* error);

// The text of "sdxhost --help", listing every option with its current value as default.
std::string HostUsage(const HostOptions& defaults);

}  // namespace sdx::host
