#include "tables/table_set.h"

#include <atomic>
#include <cstring>

#include "diagnostics/debug_window.h"
#include "platform/devices/device_directory.h"

namespace sdx {
namespace {

std::atomic<TableSet*> exported_tables{nullptr};

template <typename Table>
void OpenOne(Table* table, const char* name, const std::string* folder, CODE4* code_base,
             const char* failure) {
  if (folder != nullptr) {
    const size_t length = std::min(folder->size(), sizeof table->folder_ - 1);
    std::memcpy(table->folder_, folder->data(), length);
    table->folder_[length] = '\0';
  }
  table->SetDBName(name);
  table->code_base_ = code_base;
  if (!table->OpenTable()) WriteDebugWindow(failure);
}

}  // namespace

void TableSet::OpenLogDatabases() {
  if (tables_open_ != 0) return;
  tables_open_ = 1;
  dbDevicesOpen();
  const std::string* folder = &database_folder_;
  OpenOne(&personnel, "Personnel", folder, code_base_, "Can not open Personnel Database");
  OpenOne(&alarms, "Alarms", folder, code_base_, "Can not open Alarm Database");
  OpenOne(&event_log, "LogAlarm", folder, code_base_, "Can not open LogAlarms Database");
  OpenOne(&messages, "LogMsgs", folder, code_base_, "Can not open LogMsgs Database");
  OpenOne(&status_messages, "LogStatusMsgs", nullptr, code_base_,
          "Can not open LogStatusMsgs Database");
  OpenOne(&responses, "LogResponse", folder, code_base_, "Can not open LogResponse Database");
}

void TableSet::CloseLogDatabases() {
  if (tables_open_ == 0) return;
  tables_open_ = 0;
  dbCloseDBEngine();
  personnel.CloseTable();
  event_log.CloseTable();
  messages.CloseTable();
  status_messages.CloseTable();
  responses.CloseTable();
  alarms.CloseTable();
}

void SetExportedTableSet(TableSet* tables) { exported_tables.store(tables); }

}  // namespace sdx

extern "C" void OpenLogDatabases() {
  if (sdx::TableSet* tables = sdx::exported_tables.load()) tables->OpenLogDatabases();
}

extern "C" void CloseLogDatabases() {
  if (sdx::TableSet* tables = sdx::exported_tables.load()) tables->CloseLogDatabases();
}
