// The HTTP server of sdxhost: civetweb configured for the site, with every request to
// "/SdxRemote.dll" (any letter case) handed to the request bridge on civetweb's worker thread.
// main() owns one; Stop() lets running requests finish before civetweb is stopped.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/flush_timer.h"
#include "host/host_options.h"
#include "host/request_bridge.h"

struct mg_connection;
struct mg_context;

namespace sdx::host {

class WebHost {
 public:
  // `proc` null: serve the web root only.
  WebHost(const HostOptions& options, HttpExtensionProcFn proc);
  WebHost(const WebHost&) = delete;
  WebHost& operator=(const WebHost&) = delete;
  ~WebHost();

  // Starts listening; false with a one-line `error` when civetweb cannot start.
  bool Start(std::string* error);
  // The port actually listened on (useful with port 0).
  int port() const { return port_; }
  // Answers new requests with 503, waits for running extension requests, stops civetweb.
  void Stop();

 private:
  static int BeginRequest(mg_connection* conn);
  static void* InitThread(const mg_context* ctx, int thread_type);
  static int LogMessage(const mg_connection* conn, const char* message);

  // Returns false when the host is draining; else counts one more running request.
  bool EnterRequest();
  void LeaveRequest();

  const HostOptions options_;
  RequestBridge bridge_;
  std::mutex contexts_lock_;                               // guards contexts_
  std::vector<std::unique_ptr<RequestContext>> contexts_;  // one per worker thread
  FlushTimer timer_;       // after contexts_: stops before the writers it flushes go away
  std::mutex drain_lock_;  // guards active_ and draining_
  std::condition_variable drained_;
  int active_ = 0;
  bool draining_ = false;
  mg_context* ctx_ = nullptr;
  int port_ = 0;
};

}  // namespace sdx::host
