// The demo data folder: settings, the six tables of the event viewer and the Devices table,
// filled with a plausible month of escalations in every state the pages know. Written through
// the table classes (which create the tables with their layouts, tags and versions) and the
// engine's appends, like the paging server would.
#pragma once

#include <cstdint>
#include <string>

namespace sdx::sim {

struct DemoOptions {
  uint64_t seed = 1;
  int events = 300;              // escalation events; about ten LogAlarm rows each
  std::string templates;         // WebTemplates folder
  std::string extension_folder;  // SdxRemoteLocation: the folder of sdxremote.so
  int64_t now = 0;               // the newest time in the data; 0 means the current time
};

struct DemoSignOn {
  std::string profile;
  std::string password;
};

// Makes `dir` (and dir/database) and fills them. Refuses a folder that already holds tables.
// False with the reason in *error.
bool MakeDemoFolder(const std::string& dir, const DemoOptions& options, DemoSignOn* sign_on,
                    std::string* error);

}  // namespace sdx::sim
