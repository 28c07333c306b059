// AlarmTable: the paging server's alarm definitions (Alarms), read only; the list page filters
// on an alarm's NAME and the details page shows it. Each lookup holds table_lock_.
#pragma once

#include <string>

#include "tables/table_object.h"

namespace sdx {

struct AlarmRecord {
  double ID = 0;
  std::string NAME;
  std::string FAMILY;
  std::string MODULE;
  int SEVERITY = 0;
  std::string CUSTMSG;
};

class AlarmTable : public TableObject<6> {
 public:
  bool OpenTable();
  // True when a row has that id; with `record` given the row is copied into it. One lock
  // attempt is made and the row is read whether or not it was granted: a definition held by
  // the paging server is still shown, never waited for.
  bool FindById(double id, AlarmRecord* record);
};

}  // namespace sdx
