// StatusMessageTable: the status texts (LogStatusMsgs) that LogAlarm rows name by STATUS_ID.
// Unlike the other tables it lives in the paging server's folder itself, read from the settings
// once, when the object is built. Read only; each lookup holds table_lock_.
#pragma once

#include <string>

#include "tables/table_object.h"

namespace sdx {

class StatusMessageTable : public TableObject<2> {
 public:
  // Reads `path` of section "Sdx24" of the settings file into the folder (the current folder
  // when it is missing).
  StatusMessageTable();

  bool OpenTable();
  std::string GetTextById(double id);
};

}  // namespace sdx
