// What the sign-on and menu pages use of the server object: its templates, its session table,
// the two personnel queries, the version text of the sign-on page and where trace lines go.
// The server binds the queries to its personnel table; tests bring their own profiles.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/debug_window.h"
#include "frame/template_store.h"
#include "sessions/session_table.h"
#include "tables/personnel_table.h"

namespace sdx {

struct SignOnServices {
  using TraceSink = std::function<void(std::string_view line)>;

  const TemplateStore* templates = nullptr;
  SessionTable* sessions = nullptr;
  // The profiles that may sign on, "NAME,ID" each, in list order (SortedProfileList).
  std::function<std::vector<std::string>()> sorted_profiles;
  // The profile with exactly this ID into `record`; false, `record` unchanged, when none.
  std::function<bool(double id, PersonRecord* record)> find_profile;
  std::string version_text;  // shown after "v" on the sign-on page
  TraceSink trace = WriteDebugWindow;
};

}  // namespace sdx
