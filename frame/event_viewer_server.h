// EventViewerServer: the one server object of the extension. It owns everything that lives
// longer than a request: the settings, the templates, the session table and its sweep thread,
// the database engine and the six tables, and the two pause events shared with the paging
// server. The entry points forward to it; page handlers reach it through its accessors.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "frame/template_store.h"
#include "platform/isapi/isapi.h"
#include "platform/win/named_event.h"
#include "sessions/clock.h"
#include "sessions/session_sweep_thread.h"
#include "sessions/session_table.h"
#include "sessions/sign_on_services.h"
#include "tables/database_engine.h"
#include "tables/table_set.h"

namespace sdx {

// The named kernel objects the server makes or opens; tests give names of their own so that
// they never meet a paging server running on the same machine.
struct ServerObjectNames {
  std::string instance_mutex = "Global\\CorvaneSoftware-SdxRemote.dll";
  std::string pause_event = "Global\\CorvanSoftware_SdxPauseEvent";
  std::string pause_has_occurred_event = "Global\\CorvanSoftware_SdxPauseHasOccuredEvent";
};

// The section of the settings file that the server reads, and the default session length.
inline constexpr const char* kSettingsSection = "Sdx24";
inline constexpr int kDefaultSessionMinutes = 10;
// How long shutdown waits for the sweep thread.
inline constexpr std::chrono::milliseconds kSweepStopLimit{20000};

class EventViewerServer {
 public:
  // Reads the settings from the file EVHUB_INI names, loads the templates and makes or opens
  // the named objects. Nothing here fails: a missing setting takes its default, a template
  // that cannot be read stays empty, an object that cannot be made stays closed.
  explicit EventViewerServer(const ServerObjectNames& names = {},
                             const Clock* clock = &RealClock());
  ~EventViewerServer();
  EventViewerServer(const EventViewerServer&) = delete;
  EventViewerServer& operator=(const EventViewerServer&) = delete;

  // Starts the sweep thread, creates the database engine and opens the tables; fills `info`
  // with version 4.0 and "SdxRemote Extension". Always true.
  bool GetExtensionVersion(isapi::VersionInfo* info);
  // Stops the sweep thread (waiting at most kSweepStopLimit), empties the sessions and the
  // templates, closes the device directory, the tables and the engine. Always true.
  bool TerminateExtension(uint32_t flags);

  // Open or close the six tables and the device directory; a second open or close does
  // nothing. Callers must not run them while a page uses the tables.
  void OpenLogDatabases();
  void CloseLogDatabases();

  // Settings as read at construction.
  const std::string& database_folder() const { return database_folder_; }
  const std::string& template_folder() const { return template_folder_; }
  int web_logger_on() const { return web_logger_on_; }
  int32_t session_limit() const { return session_limit_; }
  const std::string& version_text() const { return version_text_; }
  const std::string& message_banner() const { return message_banner_; }

  const TemplateStore& templates() const { return templates_; }
  SessionTable& sessions() { return sessions_; }
  TableSet& tables() { return tables_; }
  // The pause events; not open when they could not be made.
  win::NamedEvent& pause_event() { return pause_event_; }
  win::NamedEvent& pause_has_occurred_event() { return pause_has_occurred_event_; }

  // What the sign-on and menu pages need of the server.
  const SignOnServices& sign_on_services() const { return sign_on_services_; }

 private:
  void ReadSettings();
  void ReadVersionText(const std::string& location);
  void MakeNamedObjects(const ServerObjectNames& names);

  win::NamedEvent pause_event_;
  win::NamedEvent pause_has_occurred_event_;
  int web_logger_on_ = 0;
  int32_t session_limit_ = kDefaultSessionMinutes * 60;
  std::string version_text_;
  std::string template_folder_;
  std::string message_banner_;
  std::unique_ptr<DatabaseEngine> engine_;  // between GetExtensionVersion and shutdown
  TableSet tables_;
  std::mutex server_lock_;  // guards the template map and the session table
  TemplateStore templates_;
  SessionTable sessions_;
  // A thread that outlived the shutdown's wait stays here until the server object goes, so
  // that it finishes its sweep on a live table.
  std::unique_ptr<SessionSweepThread> sweep_thread_;
  std::string database_folder_;
  SignOnServices sign_on_services_;
};

}  // namespace sdx
