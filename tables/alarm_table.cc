#include "tables/alarm_table.h"

namespace sdx {
namespace {

enum Field { kId, kName, kFamily, kModule, kSeverity, kCustMsg };

constexpr FIELD4INFO kFields[] = {
    {"ID", 'B', 8, 0, 0},      {"NAME", 'C', 254, 0, 0},   {"FAMILY", 'C', 80, 0, 0},
    {"MODULE", 'C', 40, 0, 0}, {"SEVERITY", 'N', 1, 0, 0}, {"CUSTMSG", 'C', 80, 0, 0},
    {nullptr, 0, 0, 0, 0},
};

constexpr TAG4INFO kTags[] = {
    {"T_ID", "ID", ".NOT. DELETED()", -340, 0},
    {"T_NAME", "LEFT(UPPER(TRIM(NAME)),240)", ".NOT. DELETED()", 0, 0},
    {nullptr, nullptr, nullptr, 0, 0},
};

constexpr VersionRule kRules[] = {{0, VersionAction::kMigrate, "0,1,2,3,4,5", nullptr}};

constexpr TableSchema kSchema = {kFields, kTags, 1, kRules, "T_ID"};

}  // namespace

bool AlarmTable::OpenTable() { return OpenWithSchema(kSchema); }

bool AlarmTable::FindById(double id, AlarmRecord* record) {
  std::scoped_lock lock(table_lock_);
  if (data_ == nullptr) return false;
  SelectTagByName(data_, "T_ID");
  if (!SeekDouble(data_, id)) return false;
  if (record != nullptr) {
    d4lockInternal(data_, static_cast<unsigned long>(d4recNoLow(data_)), 1, 1);
    record->ID = ReadDouble(fields_[kId]);
    record->NAME = ReadText(fields_[kName]);
    record->FAMILY = ReadText(fields_[kFamily]);
    record->MODULE = ReadText(fields_[kModule]);
    record->SEVERITY = ReadInt(fields_[kSeverity]);
    record->CUSTMSG = ReadText(fields_[kCustMsg]);
    UnlockRecords(data_);
  }
  return true;
}

}  // namespace sdx
