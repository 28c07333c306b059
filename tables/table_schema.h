// What a table class tells the common opening algorithm: its field and tag lists, the version
// it expects, what to do with each older version found on disk, and the order it reads in.
#pragma once

#include <span>

#include "platform/xbase/engine_calls.h"

namespace sdx {

enum class VersionAction {
  kMigrate,      // rewrite into the new layout, keeping the rows (field_map)
  kRecreate,     // delete the files and create the table empty
  kStopProcess,  // end the process with the message in stop_text
};

struct VersionRule {
  unsigned found;
  VersionAction action;
  const char* field_map;  // kMigrate only
  const char* stop_text;  // kStopProcess only
};

struct TableSchema {
  const FIELD4INFO* fields;  // ends with a nameless entry
  const TAG4INFO* tags;      // ends with a nameless entry
  unsigned version;
  std::span<const VersionRule> rules;  // a found version without a rule is opened unchanged
  const char* default_tag;
};

}  // namespace sdx
