#include "frame/event_viewer_server.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "diagnostics/debug_window.h"
#include "diagnostics/web_log.h"
#include "frame/load_template.h"
#include "frame/page_output.h"
#include "platform/devices/device_directory.h"
#include "platform/misc/evhub_ini.h"
#include "platform/misc/file_version.h"
#include "platform/win/named_mutex.h"
#include "platform/win/profile_file.h"

namespace sdx {
namespace {

// The sizes of the fields the settings are read into, terminator excluded.
constexpr size_t kPathLength = 255;
constexpr size_t kCurrentFolderLength = 253;
constexpr size_t kTemplatesLength = 253;
constexpr size_t kLocationLength = 254;
constexpr size_t kVersionLength = 79;

constexpr const char* kDescription = "SdxRemote Extension";
constexpr const char* kMissingFileText = ": can not found dll file at: ";

std::string Cut(std::string text, size_t length) {
  if (text.size() > length) text.resize(length);
  return text;
}

std::string CurrentFolder() {
  char folder[PATH_MAX];
  if (getcwd(folder, sizeof folder) == nullptr) return {};
  return Cut(folder, kCurrentFolderLength);
}

// Minutes to seconds, held within the 32-bit range the session times use.
int32_t SessionLimit(long minutes) {
  const long long seconds = static_cast<long long>(minutes) * 60;
  return static_cast<int32_t>(std::clamp<long long>(seconds, INT32_MIN, INT32_MAX));
}

}  // namespace

EventViewerServer::EventViewerServer(const ServerObjectNames& names, const Clock* clock)
    : templates_(&server_lock_), sessions_(&server_lock_, clock) {
  WriteWebLog("Starting...");
  ReadSettings();
  message_banner_ = std::string(kMessageBanner);
  MakeNamedObjects(names);
  sign_on_services_.templates = &templates_;
  sign_on_services_.sessions = &sessions_;
  sign_on_services_.sorted_profiles = [this] { return SortedProfileList(&tables_.personnel); };
  sign_on_services_.find_profile = [this](double id, PersonRecord* record) {
    return tables_.personnel.FindById(id, record);
  };
  sign_on_services_.version_text = version_text_;
}

EventViewerServer::~EventViewerServer() {
  // A server that was started but never shut down still leaves the exports and the tables in
  // order; the sweep thread goes with its member.
  if (engine_ != nullptr) {
    SetExportedTableSet(nullptr);
    tables_.CloseLogDatabases();
  }
}

void EventViewerServer::ReadSettings() {
  const std::string ini = misc::EVHUB_INI();
  const std::string path = Cut(
      win::GetPrivateProfileString(kSettingsSection, "path", CurrentFolder(), ini), kPathLength);
  web_logger_on_ =
      static_cast<int>(win::GetPrivateProfileInt(kSettingsSection, "WebLoggerOn", 0, ini));
  SetWebLoggerOn(web_logger_on_);
  template_folder_ = TemplateFolder(Cut(
      win::GetPrivateProfileString(kSettingsSection, "WebTemplates", path, ini), kTemplatesLength));
  database_folder_ = Cut(path + "/database", kPathLength);
  templates_.LoadTemplates(template_folder_);

  const std::string location =
      Cut(win::GetPrivateProfileString(kSettingsSection, "SdxRemoteLocation", "", ini),
          kLocationLength);
  session_limit_ = SessionLimit(
      win::GetPrivateProfileInt(kSettingsSection, "WebSessionMaxMin", kDefaultSessionMinutes, ini));
  sessions_.set_timeout(session_limit_);
  ReadVersionText(location);
}

void EventViewerServer::ReadVersionText(const std::string& location) {
  const std::string file = location + "/sdxremote.so";
  char version[kVersionLength + 1] = {};
  misc::func12(file.c_str(), version, sizeof version, 0);
  version_text_ = version;
  if (version_text_.empty()) version_text_ = Cut(kMissingFileText + file, kVersionLength);
}

void EventViewerServer::MakeNamedObjects(const ServerObjectNames& names) {
  // Its existence tells other programs that the extension is loaded; this process needs no
  // hold on it, and the name stays until the machine's objects are cleared.
  win::NamedMutex instance;
  instance.CreateOrOpen(names.instance_mutex, win::ObjectSecurity::kDefault);

  // The paging server may have made them first; they then keep the state it gave them.
  pause_event_.CreateOrOpen(names.pause_event, win::EventReset::kManual, true,
                            win::ObjectSecurity::kOpen);
  pause_has_occurred_event_.CreateOrOpen(names.pause_has_occurred_event, win::EventReset::kManual,
                                         true, win::ObjectSecurity::kOpen);
  char line[64];
  const unsigned long handle =
      pause_event_.is_open()
          ? static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&pause_event_))
          : 0;
  snprintf(line, sizeof line, "Handle: %lu **************\n", handle);
  WriteWebLog(line);
}

bool EventViewerServer::GetExtensionVersion(isapi::VersionInfo* info) {
  // A second start without a shutdown between keeps one sweep thread.
  sweep_thread_.reset();
  sweep_thread_ = std::make_unique<SessionSweepThread>(&sessions_);
  sweep_thread_->Start();
  if (engine_ == nullptr) engine_ = std::make_unique<DatabaseEngine>();
  devices::SetDeviceFolder(database_folder_);
  SetExportedTableSet(&tables_);
  OpenLogDatabases();

  if (info != nullptr) {
    info->extension_version = isapi::MakeVersion(isapi::kVersionMajor, isapi::kVersionMinor);
    std::strncpy(info->description, kDescription, sizeof info->description - 1);
    info->description[sizeof info->description - 1] = '\0';
  }
  return true;
}

bool EventViewerServer::TerminateExtension(uint32_t flags) {
  // A thread still sweeping after the wait is let go: it finishes its one sweep under the
  // server lock, which ClearSessions below then waits for, and starts no other.
  if (sweep_thread_ != nullptr && sweep_thread_->Stop(kSweepStopLimit)) sweep_thread_.reset();
  sessions_.ClearSessions();
  templates_.Clear();
  SetExportedTableSet(nullptr);
  dbCloseDBEngine();
  CloseLogDatabases();
  if (engine_ != nullptr) {
    code4close(engine_->code_base());
    engine_.reset();
  }
  return true;
}

void EventViewerServer::OpenLogDatabases() {
  // Without the engine context (before the start or after the shutdown) there is nothing to
  // open the tables with.
  if (engine_ == nullptr) return;
  tables_.set_database_folder(database_folder_);
  tables_.set_code_base(engine_->code_base());
  tables_.OpenLogDatabases();
}

void EventViewerServer::CloseLogDatabases() { tables_.CloseLogDatabases(); }

}  // namespace sdx
