#include "host/web_host.h"

#include <civetweb.h>

#include <cstdio>
#include <string_view>

namespace sdx::host {
namespace {

constexpr std::string_view kExtensionPath = "/SdxRemote.dll";
// Long enough to join a browser's next click, short enough that idle connections give their
// worker thread back quickly.
constexpr const char* kKeepAliveMs = "1000";
// Bytes the writer may hold before the timer sends them: short against a person watching a page
// grow, long against the cost of one socket write per row.
constexpr std::chrono::microseconds kFlushDelay{2000};
// A pattern no request path matches: switches CGI and server-side includes off.
constexpr const char* kNeverMatches = "$^";

bool IsExtensionPath(const char* path) {
  return path != nullptr && std::string_view(path).size() == kExtensionPath.size() &&
         mg_strcasecmp(path, kExtensionPath.data()) == 0;
}

}  // namespace

WebHost::WebHost(const HostOptions& options, HttpExtensionProcFn proc)
    : options_(options), bridge_(proc, options.max_body), timer_(kFlushDelay) {}

WebHost::~WebHost() { Stop(); }

bool WebHost::Start(std::string* error) {
  std::string threads = std::to_string(options_.threads);
  std::vector<const char*> config = {
      "listening_ports",
      options_.listen.c_str(),
      "document_root",
      options_.root.c_str(),
      "num_threads",
      threads.c_str(),
      "tcp_nodelay",
      "1",
      "enable_keep_alive",
      "yes",
      "keep_alive_timeout_ms",
      kKeepAliveMs,
      "enable_directory_listing",
      "no",
      "index_files",
      "index.html,index.htm",
      "cgi_pattern",
      kNeverMatches,
      "ssi_pattern",
      kNeverMatches,
      "access_control_allow_origin",
      "",
      "access_control_allow_methods",
      "",
      "access_control_allow_headers",
      "",
  };
  if (!options_.access_log.empty()) {
    config.push_back("access_log_file");
    config.push_back(options_.access_log.c_str());
  }
  config.push_back(nullptr);

  mg_callbacks callbacks{};
  callbacks.begin_request = &WebHost::BeginRequest;
  callbacks.init_thread = &WebHost::InitThread;
  callbacks.log_message = &WebHost::LogMessage;
  mg_init_data init{};
  init.callbacks = &callbacks;
  init.user_data = this;
  init.configuration_options = config.data();
  char text[256] = "";
  unsigned code = 0;
  mg_error_data failure{&code, text, sizeof(text)};
  mg_init_library(0);
  ctx_ = mg_start2(&init, &failure);
  if (ctx_ == nullptr) {
    *error = std::string("cannot start the web server: ") + (text[0] ? text : "unknown error");
    mg_exit_library();
    return false;
  }
  mg_server_port ports[4] = {};
  if (mg_get_server_ports(ctx_, 4, ports) > 0) port_ = ports[0].port;
  return true;
}

void WebHost::Stop() {
  if (ctx_ == nullptr) return;
  {
    std::unique_lock lock(drain_lock_);
    draining_ = true;
    drained_.wait(lock, [this] { return active_ == 0; });
  }
  mg_stop(ctx_);
  ctx_ = nullptr;
  mg_exit_library();
}

bool WebHost::EnterRequest() {
  std::scoped_lock lock(drain_lock_);
  if (draining_) return false;
  ++active_;
  return true;
}

void WebHost::LeaveRequest() {
  std::scoped_lock lock(drain_lock_);
  if (--active_ == 0 && draining_) drained_.notify_all();
}

int WebHost::BeginRequest(mg_connection* conn) {
  auto* host = static_cast<WebHost*>(mg_get_user_data(mg_get_context(conn)));
  auto* context = static_cast<RequestContext*>(mg_get_thread_pointer(conn));
  const mg_request_info* info = mg_get_request_info(conn);
  if (!host->EnterRequest()) return RequestBridge::Refuse(conn, context, 503, "");
  int status = 0;  // 0: civetweb serves the static file
  if (IsExtensionPath(info->local_uri)) status = host->bridge_.Serve(conn, context);
  host->LeaveRequest();
  return status;
}

void* WebHost::InitThread(const mg_context* ctx, int thread_type) {
  // Only worker threads (type 1) carry requests.
  if (thread_type != 1) return nullptr;
  auto* host = static_cast<WebHost*>(mg_get_user_data(ctx));
  std::scoped_lock lock(host->contexts_lock_);
  host->contexts_.push_back(std::make_unique<RequestContext>(&host->timer_));
  return host->contexts_.back().get();
}

int WebHost::LogMessage(const mg_connection* conn, const char* message) {
  std::fprintf(stderr, "sdxhost: %s\n", message);
  return 1;
}

}  // namespace sdx::host
