#include "tables/event_log_table.h"

namespace sdx {
namespace {

enum Field {
  kLogId,
  kStatusId,
  kCourierId,
  kTime,
  kNodeId,
  kTechId,
  kMsgId,
  kAlarmId,
  kDupTotal,
  kCoverId,
  kNullifyId,
  kFlags,
  kLevel,
  kEsclLvl,
  kOrigTime,
  kEventId,
  kOrgTechId,
  kEsclFlags,
  kOrgEventId,
  kDownDevice,
};

constexpr char kWebLockEvent[] = "Global\\CorvanSoftware_WebLock";

constexpr FIELD4INFO kFields[] = {
    {"LOG_ID", 'B', 8, 0, 0},     {"STATUS_ID", 'B', 8, 0, 0},  {"COURIERID", 'B', 8, 0, 0},
    {"TIME", 'N', 11, 0, 0},      {"NODE_ID", 'B', 8, 0, 0},    {"TECH_ID", 'B', 8, 0, 0},
    {"MSG_ID", 'B', 8, 0, 0},     {"ALARM_ID", 'B', 8, 0, 0},   {"DUPTOTAL", 'N', 5, 0, 0},
    {"COVER_ID", 'B', 8, 0, 0},   {"NULLIFY_ID", 'B', 8, 0, 0}, {"FLAGS", 'N', 3, 0, 0},
    {"LEVEL", 'N', 2, 0, 0},      {"ESCL_LVL", 'N', 2, 0, 0},   {"ORIG_TIME", 'N', 11, 0, 0},
    {"EVENT_ID", 'B', 8, 0, 0},   {"ORGTECH_ID", 'B', 8, 0, 0}, {"ESCL_FLAGS", 'N', 5, 0, 0},
    {"ORGEVENTID", 'B', 8, 0, 0}, {"DOWNDEVICE", 'B', 8, 0, 0}, {nullptr, 0, 0, 0, 0},
};

// The duplicate-key expressions carry two blanks before their last '+', as the paging server
// wrote them; the key is the same either way, but the stored expression text is compared.
constexpr TAG4INFO kTags[] = {
    {"T_LOG", "LOG_ID", nullptr, 0, 0},
    {"T_DUP",
     "LTRIM(STR(TECH_ID,8,0)) + ':' + LTRIM(STR(NODE_ID,8,0)) + ':' + LTRIM(STR(MSG_ID,8,0))  + "
     "':' + LTRIM(STR(TIME,11,0))",
     nullptr, 0, 10},
    {"T_STATUS", "STATUS_ID", nullptr, 0, 0},
    {"T_TIMED", "TIME", nullptr, 0, 10},
    {"T_NODE", "NODE_ID", nullptr, 0, 0},
    {"T_TECH", "TECH_ID", nullptr, 0, 0},
    {"T_MSG", "MSG_ID", nullptr, 0, 0},
    {"T_ALARM", "ALARM_ID", nullptr, 0, 0},
    {"T_DUP2",
     "LTRIM(STR(TECH_ID,8,0)) + ':' + LTRIM(STR(NODE_ID,8,0)) + ':' + LTRIM(STR(ALARM_ID,8,0))  "
     "+ ':' + LTRIM(STR(TIME,11,0))",
     nullptr, 0, 10},
    {"T_CLOSE", "STATUS_ID", "(STATUS_ID > 201) .AND. (STATUS_ID < 212)", 0, 0},
    {"T_EVENT", "EVENT_ID", nullptr, 0, 0},
    {"T_ESCLFLAG", "ESCL_FLAGS", "(ESCL_FLAGS >= 32768)", 0, 0},
    {nullptr, nullptr, nullptr, 0, 0},
};

constexpr VersionRule kRules[] = {
    {0, VersionAction::kRecreate, nullptr, nullptr},
    {1, VersionAction::kMigrate, "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15", nullptr},
    {2, VersionAction::kStopProcess, nullptr,
     "The LogAlarm database has been updated to better handle escalation.\n"
     "Please delete LogAlarm.* and restart Sdx"},
    {3, VersionAction::kMigrate, "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", nullptr},
};

constexpr TableSchema kSchema = {kFields, kTags, 4, kRules, "T_LOG"};

}  // namespace

EventLogTable::EventLogTable() {
  web_lock_.CreateOrOpen(kWebLockEvent, sdx::win::EventReset::kManual, true,
                         sdx::win::ObjectSecurity::kOpen);
}

const TableSchema& EventLogTable::Schema() { return kSchema; }

bool EventLogTable::OpenTable() { return OpenWithSchema(kSchema); }

int32_t EventLogTable::GetRecordCount() {
  // Taken although the count needs no record lock: the engine allows one thread at a time on a
  // table handle.
  std::scoped_lock lock(table_lock_);
  if (data_ == nullptr) return 0;
  const long count = _d4recCountDo2(data_, 0);
  return count < 0 ? 0 : static_cast<int32_t>(count);
}

int32_t EventLogTable::CollectRecordNumbers(RecordNumberList* list, int32_t max_count,
                                            bool newest_first) {
  std::scoped_lock lock(table_lock_);
  list->clear();
  if (data_ == nullptr) return 0;
  SelectTagByName(data_, nullptr);
  long count = _d4recCountDo2(data_, 0);
  if (count < 0) count = 0;
  if (max_count > 0 && max_count < count) count = max_count;
  list->assign(static_cast<size_t>(count), 0);
  size_t stored = 0;
  int rc = newest_first ? d4bottom(data_) : d4top(data_);
  while (rc == r4success && stored < list->size()) {
    if (newest_first ? d4bof(data_) : d4eof(data_)) break;
    if (ReadDouble(fields_[kEventId]) != 0.0) {
      (*list)[stored++] = static_cast<int32_t>(d4recNoLow(data_));
    }
    rc = d4skip(data_, newest_first ? -1 : 1);
  }
  return static_cast<int32_t>(list->size());
}

bool EventLogTable::GoAndLock(int32_t record_number) {
  if (data_ == nullptr || record_number <= 0) return false;
  SelectTagByName(data_, nullptr);
  // Locked first and then read, so that the row read is the one nobody else may change until
  // it is unlocked; a number past the end is refused by the read and its lock given back.
  if (LockRecordWithRetry(data_, record_number) != r4success) return false;
  if (d4goLow(data_, record_number, 1) != r4success) {
    UnlockRecords(data_);
    return false;
  }
  return true;
}

bool EventLogTable::ReadByRecordNumber(int32_t record_number, EventRecord* record) {
  std::scoped_lock lock(table_lock_);
  if (!GoAndLock(record_number)) return false;
  ReadCurrent(record);
  UnlockRecords(data_);
  return true;
}

int32_t EventLogTable::FindByEventId(double event_id, RecordNumberList* list) {
  std::scoped_lock lock(table_lock_);
  list->clear();
  if (data_ == nullptr) return 0;
  SelectTagByName(data_, "T_EVENT");
  for (int rc = d4seekDouble(data_, event_id); rc == r4success;
       rc = d4seekNextDouble(data_, event_id)) {
    list->push_back(static_cast<int32_t>(d4recNoLow(data_)));
  }
  return static_cast<int32_t>(list->size());
}

int32_t EventLogTable::FindByLogId(double log_id) {
  std::scoped_lock lock(table_lock_);
  if (data_ == nullptr) return 0;
  SelectTagByName(data_, "T_LOG");
  if (!SeekDouble(data_, log_id)) return 0;
  return static_cast<int32_t>(d4recNoLow(data_));
}

void EventLogTable::UpdateRecord(const EventRecord& record) {
  std::scoped_lock lock(table_lock_);
  if (!GoAndLock(record.RecordNumber)) return;
  AssignCurrent(record);
  UnlockRecords(data_);
}

bool EventLogTable::ModifyRecord(int32_t record_number,
                                 const std::function<void(EventRecord*)>& change,
                                 EventRecord* result) {
  std::scoped_lock lock(table_lock_);
  if (!GoAndLock(record_number)) return false;
  EventRecord record;
  ReadCurrent(&record);
  change(&record);
  record.RecordNumber = record_number;
  AssignCurrent(record);
  UnlockRecords(data_);
  if (result != nullptr) *result = record;
  return true;
}

bool EventLogTable::UpdateFlags(int32_t record_number, int32_t set_bits, int32_t clear_bits,
                                EventRecord* result) {
  return ModifyRecord(
      record_number,
      [&](EventRecord* record) {
        record->ESCL_FLAGS = (record->ESCL_FLAGS | set_bits) & ~clear_bits;
      },
      result);
}

void EventLogTable::ReadCurrent(EventRecord* record) {
  record->LOG_ID = ReadDouble(fields_[kLogId]);
  record->STATUS_ID = ReadDouble(fields_[kStatusId]);
  record->COURIERID = ReadDouble(fields_[kCourierId]);
  record->TIME = ReadLong(fields_[kTime]);
  record->NODE_ID = ReadDouble(fields_[kNodeId]);
  record->TECH_ID = ReadDouble(fields_[kTechId]);
  record->MSG_ID = ReadDouble(fields_[kMsgId]);
  record->ALARM_ID = ReadDouble(fields_[kAlarmId]);
  record->DUPTOTAL = ReadLong(fields_[kDupTotal]);
  record->COVER_ID = ReadDouble(fields_[kCoverId]);
  record->NULLIFY_ID = ReadDouble(fields_[kNullifyId]);
  record->FLAGS = ReadLong(fields_[kFlags]);
  record->LEVEL = ReadLong(fields_[kLevel]);
  record->ESCL_LVL = ReadLong(fields_[kEsclLvl]);
  record->ORIG_TIME = ReadLong(fields_[kOrigTime]);
  record->EVENT_ID = ReadDouble(fields_[kEventId]);
  record->ORGTECH_ID = ReadDouble(fields_[kOrgTechId]);
  record->ESCL_FLAGS = ReadLong(fields_[kEsclFlags]);
  record->RecordNumber = static_cast<int32_t>(d4recNoLow(data_));
  record->ORGEVENTID = ReadDouble(fields_[kOrgEventId]);
  record->DOWNDEVICE = ReadDouble(fields_[kDownDevice]);
}

void EventLogTable::AssignCurrent(const EventRecord& record) {
  AssignDouble(fields_[kLogId], record.LOG_ID);
  AssignDouble(fields_[kStatusId], record.STATUS_ID);
  AssignDouble(fields_[kCourierId], record.COURIERID);
  AssignLong(fields_[kTime], record.TIME);
  AssignDouble(fields_[kNodeId], record.NODE_ID);
  AssignDouble(fields_[kTechId], record.TECH_ID);
  AssignDouble(fields_[kMsgId], record.MSG_ID);
  AssignDouble(fields_[kAlarmId], record.ALARM_ID);
  AssignLong(fields_[kDupTotal], record.DUPTOTAL);
  AssignDouble(fields_[kCoverId], record.COVER_ID);
  AssignDouble(fields_[kNullifyId], record.NULLIFY_ID);
  AssignLong(fields_[kFlags], record.FLAGS);
  AssignLong(fields_[kLevel], record.LEVEL);
  AssignLong(fields_[kEsclLvl], record.ESCL_LVL);
  AssignLong(fields_[kOrigTime], record.ORIG_TIME);
  AssignDouble(fields_[kEventId], record.EVENT_ID);
  AssignDouble(fields_[kOrgTechId], record.ORGTECH_ID);
  AssignLong(fields_[kEsclFlags], record.ESCL_FLAGS);
  AssignDouble(fields_[kOrgEventId], record.ORGEVENTID);
  AssignDouble(fields_[kDownDevice], record.DOWNDEVICE);
}

}  // namespace sdx
