// ResponseTable: the replies to escalation events (LogResponse). The details page reads an
// event's replies and when a reply closed it; the reply pages append replies. Every operation
// holds table_lock_; appends go through the engine's append, which coordinates with the paging
// server.
#pragma once

#include <cstdint>
#include <string>

#include "tables/record_number_list.h"
#include "tables/table_object.h"

namespace sdx {

struct ResponseRecord {
  double LOG_ID = 0;
  double EVENT_ID = 0;
  double PROFILE_ID = 0;
  int32_t RSP_TIME = 0;
  std::string RSP_TEXT;
};

class ResponseTable : public TableObject<4> {
 public:
  bool OpenTable();
  // The layout, tags and version the table is opened with; for programs that make the table
  // themselves (the demo data).
  static const TableSchema& Schema();
  void CloseTable();
  // Adds the reply as a new row; an empty text leaves the memo empty.
  void AppendResponse(const ResponseRecord& record);
  // The event's replies in T_EVENTID order.
  void FindByEventId(double event_id, RecordNumberList* list);
  // False, with `record` unchanged, when the row cannot be reached. Trailing blanks, tabs and
  // line breaks of the text are not read back.
  bool ReadByRecordNumber(int32_t record_number, ResponseRecord* record);
  // RSP_TIME of the event's first reply (T_EVENTID order) with a time above 0 whose text holds
  // "close" in any letter case; 0 when none does.
  int32_t GetClosingReplyTime(double event_id);

 private:
  FIELD4* memo_ = nullptr;  // RSP_TEXT, bound by name once the table is open
};

}  // namespace sdx
