#include "host/host_options.h"

#include <arpa/inet.h>

#include <charconv>
#include <limits>
#include <string_view>

namespace sdx::host {
namespace {

bool ParseNumber(std::string_view text, uint64_t max, uint64_t* value) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size() && *value <= max;
}

// civetweb takes numeric addresses only: "1.2.3.4:80" or "[::1]:80".
bool ValidListen(std::string_view text) {
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return false;
  std::string address(text.substr(0, colon));
  uint64_t port = 0;
  if (!ParseNumber(text.substr(colon + 1), 65535, &port)) return false;
  unsigned char binary[16];
  if (address.size() > 2 && address.front() == '[' && address.back() == ']') {
    return inet_pton(AF_INET6, address.substr(1, address.size() - 2).c_str(), binary) == 1;
  }
  return inet_pton(AF_INET, address.c_str(), binary) == 1;
}

}  // namespace

bool ParseHostOptions(int argc, const char* const* argv, HostOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      return true;
    }
    if (arg == "--no-extension") {
      options->extension.clear();
      continue;
    }
    std::string_view name = arg;
    std::string_view value;
    bool has_value = false;
    if (size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      has_value = true;
    }
    bool known = name == "--listen" || name == "--root" || name == "--extension" ||
                 name == "--threads" || name == "--max-body" || name == "--access-log";
    if (!known) {
      *error = "unknown option '" + std::string(arg) + "' (see --help)";
      return false;
    }
    if (!has_value) {
      if (i + 1 >= argc) {
        *error = "option " + std::string(name) + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    uint64_t number = 0;
    if (name == "--listen") {
      if (!ValidListen(value)) {
        *error =
            "--listen wants ADDR:PORT with a numeric address, got '" + std::string(value) + "'";
        return false;
      }
      options->listen = value;
    } else if (name == "--root") {
      if (value.empty()) {
        *error = "--root wants a folder";
        return false;
      }
      options->root = value;
    } else if (name == "--extension") {
      if (value.empty()) {
        *error = "--extension wants a library path (or use --no-extension)";
        return false;
      }
      options->extension = value;
    } else if (name == "--threads") {
      if (!ParseNumber(value, 4096, &number) || number == 0) {
        *error = "--threads wants a count from 1 to 4096, got '" + std::string(value) + "'";
        return false;
      }
      options->threads = static_cast<int>(number);
    } else if (name == "--max-body") {
      if (!ParseNumber(value, std::numeric_limits<uint32_t>::max(), &number)) {
        *error = "--max-body wants a byte count below 4 GiB, got '" + std::string(value) + "'";
        return false;
      }
      options->max_body = number;
    } else {
      if (value.empty()) {
        *error = "--access-log wants a file";
        return false;
      }
      options->access_log = value;
    }
  }
  return true;
}

std::string HostUsage(const HostOptions& defaults) {
  std::string text =
      "usage: sdxhost [options]\n"
      "Serves the extension library at /SdxRemote.dll (any letter case) and the static files\n"
      "of the web root everywhere else. SIGTERM or SIGINT: finish running requests, unload the\n"
      "extension, exit 0.\n\n"
      "  --listen ADDR:PORT   address to listen on (default " +
      defaults.listen +
      "; port 0 picks a free port)\n"
      "  --root DIR           web root of the static files (default " +
      defaults.root +
      ")\n"
      "  --extension PATH     extension library to load (default " +
      (defaults.extension.empty() ? std::string("none") : defaults.extension) +
      ")\n"
      "  --no-extension       serve the web root only; /SdxRemote.dll answers 503\n"
      "  --threads N          worker threads, one per open connection (default " +
      std::to_string(defaults.threads) +
      ")\n"
      "  --max-body BYTES     largest request body; larger ones get 413 (default " +
      std::to_string(defaults.max_body) +
      ")\n"
      "  --access-log FILE    append one line per request to FILE (default: none)\n"
      "  --help               show this text\n";
  return text;
}

}  // namespace sdx::host
