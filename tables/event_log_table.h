// EventLogTable: the paging server's escalation log (LogAlarm), walked newest first by the list
// page, read by event for the details page and rewritten by the reply pages. Every operation
// holds table_lock_ for its whole length; a row is read and written under its record lock
// (taken with retry), because the paging server changes rows while we read them.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/win/named_event.h"
#include "tables/record_number_list.h"
#include "tables/table_object.h"

namespace sdx {

// ESCL_FLAGS bits: the escalation state of a LogAlarm row.
inline constexpr int32_t kEsclReplyTimerExpired = 1;
inline constexpr int32_t kEsclCloseTimerExpired = 2;
inline constexpr int32_t kEsclFinalEscalation = 4;
inline constexpr int32_t kEsclDeliveryError = 8;
inline constexpr int32_t kEsclRepliedByOwn = 1024;
inline constexpr int32_t kEsclRepliedByOther = 2048;
inline constexpr int32_t kEsclOpen = 4096;
inline constexpr int32_t kEsclClosedByOwn = 8192;
inline constexpr int32_t kEsclClosedByOther = 16384;
inline constexpr int32_t kEsclWaitingForReply = 32768;

// One LogAlarm row in memory: 'B' fields as doubles, 'N' fields as 32-bit integers, and the
// engine record number it was read from.
struct EventRecord {
  double LOG_ID = 0;
  double STATUS_ID = 0;
  double COURIERID = 0;
  int32_t TIME = 0;
  double NODE_ID = 0;
  double TECH_ID = 0;
  double MSG_ID = 0;
  double ALARM_ID = 0;
  int32_t DUPTOTAL = 0;
  double COVER_ID = 0;
  double NULLIFY_ID = 0;
  int32_t FLAGS = 0;
  int32_t LEVEL = 0;
  int32_t ESCL_LVL = 0;
  int32_t ORIG_TIME = 0;
  double EVENT_ID = 0;
  double ORGTECH_ID = 0;
  int32_t ESCL_FLAGS = 0;
  int32_t RecordNumber = 0;
  double ORGEVENTID = 0;
  double DOWNDEVICE = 0;
};

class EventLogTable : public TableObject<20> {
 public:
  // Creates, or opens when the paging server made it, the web-lock event; it is held, never
  // waited on, set or reset, for as long as the process runs.
  EventLogTable();

  // A LogAlarm table stamped 2 ends the process with a message.
  bool OpenTable();
  // The layout, tags and version the table is opened with; for programs that make the table
  // themselves (the demo data).
  static const TableSchema& Schema();
  // Records in the file, deleted-marked ones included.
  int32_t GetRecordCount();
  // Record numbers of the rows that belong to an event, in file order or newest first, at most
  // `max_count` (0 or less: all). Answers the list's size, which is the smaller of the record
  // count and `max_count`; when fewer rows qualify the list ends in zeros.
  int32_t CollectRecordNumbers(RecordNumberList* list, int32_t max_count, bool newest_first);
  bool ReadByRecordNumber(int32_t record_number, EventRecord* record);
  // The rows of one event in T_EVENT order; answers how many.
  int32_t FindByEventId(double event_id, RecordNumberList* list);
  // The record number of the first row with that LOG_ID, 0 when there is none.
  int32_t FindByLogId(double log_id);
  // Rewrites the row record.RecordNumber with all values of `record`.
  void UpdateRecord(const EventRecord& record);
  // Reads the row, lets `change` alter it and writes it back, all under one record lock, so
  // that no writer in this or another process comes between. `change` must not use any table.
  // False when the row cannot be reached. `result`, when given, receives the row as written.
  bool ModifyRecord(int32_t record_number, const std::function<void(EventRecord*)>& change,
                    EventRecord* result = nullptr);
  // Sets and then clears ESCL_FLAGS bits of one row under its record lock.
  bool UpdateFlags(int32_t record_number, int32_t set_bits, int32_t clear_bits,
                   EventRecord* result = nullptr);

 private:
  // Locks the record (with retry) and reads it under the lock; table lock held. False, with no
  // lock held, when the row cannot be reached.
  bool GoAndLock(int32_t record_number);
  void ReadCurrent(EventRecord* record);
  void AssignCurrent(const EventRecord& record);

  sdx::win::NamedEvent web_lock_;
};

}  // namespace sdx
