// MessageTable: the message texts (LogMsgs) that LogAlarm rows name by MSG_ID; read only, by
// the list and details pages for every row they show. Each lookup holds table_lock_.
#pragma once

#include <string>

#include "tables/table_object.h"

namespace sdx {

class MessageTable : public TableObject<2> {
 public:
  bool OpenTable();
  // The TEXT of the row with that id (at most 255 characters, trailing blanks removed); empty
  // when there is none.
  std::string GetTextById(double id);
};

// The text field of the row whose ID (on the current tag) equals `id`; empty when none. Shared
// by the two message tables; the caller holds its table lock.
std::string TextByIdLocked(DATA4* data, FIELD4* text_field, double id);

}  // namespace sdx
