// TableSet: the six table objects of the server and the tables-open flag that makes opening
// and closing them idempotent. EventViewerServer owns one (as a member, built with the server
// object, in the member order below) and calls OpenLogDatabases/CloseLogDatabases from its
// start-up, shutdown and pause handling; the exported C functions forward here.
#pragma once

#include <string>

#include "platform/xbase/engine_calls.h"
#include "tables/alarm_table.h"
#include "tables/event_log_table.h"
#include "tables/message_table.h"
#include "tables/personnel_table.h"
#include "tables/response_table.h"
#include "tables/status_message_table.h"

namespace sdx {

class TableSet {
 public:
  // The folder of every table but LogStatusMsgs ("<path>/database") and the engine context,
  // both used by the next OpenLogDatabases.
  void set_database_folder(std::string folder) { database_folder_ = std::move(folder); }
  void set_code_base(CODE4* code_base) { code_base_ = code_base; }

  // Unless the tables are open: opens the device directory, then Personnel, Alarms, LogAlarm,
  // LogMsgs, LogStatusMsgs and LogResponse, each with the database folder copied anew (not
  // LogStatusMsgs) and the engine context; a table that fails is written to the debug window
  // and left closed, the others are opened all the same.
  void OpenLogDatabases();
  // Unless they are closed: closes the device directory, then Personnel, LogAlarm, LogMsgs,
  // LogStatusMsgs, LogResponse and Alarms.
  void CloseLogDatabases();
  bool tables_open() const { return tables_open_ != 0; }

  PersonnelTable personnel;
  EventLogTable event_log;
  MessageTable messages;
  StatusMessageTable status_messages;
  ResponseTable responses;
  AlarmTable alarms;

 private:
  std::string database_folder_;
  CODE4* code_base_ = nullptr;
  int tables_open_ = 0;
};

// The table set that the exported OpenLogDatabases/CloseLogDatabases act on: the server object
// registers its own at start-up and null before it is destroyed.
void SetExportedTableSet(TableSet* tables);

}  // namespace sdx

// The extension's exports; they do nothing while no table set is registered.
extern "C" {
void OpenLogDatabases();
void CloseLogDatabases();
}
