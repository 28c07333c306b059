#include "tables/response_table.h"

#include <algorithm>
#include <cctype>

namespace sdx {
namespace {

enum Field { kLogId, kEventId, kProfileId, kRspTime };

constexpr FIELD4INFO kFields[] = {
    {"LOG_ID", 'B', 8, 0, 0},    {"EVENT_ID", 'B', 8, 0, 0},  {"PROFILE_ID", 'B', 8, 0, 0},
    {"RSP_TIME", 'N', 11, 0, 0}, {"RSP_TEXT", 'M', 10, 0, 0}, {nullptr, 0, 0, 0, 0},
};

constexpr TAG4INFO kTags[] = {
    {"T_EVENTID", "EVENT_ID", nullptr, 0, 0},
    {nullptr, nullptr, nullptr, 0, 0},
};

constexpr VersionRule kRules[] = {{1, VersionAction::kMigrate, "0,1,2,4,5", nullptr}};

constexpr TableSchema kSchema = {kFields, kTags, 2, kRules, "T_EVENTID"};

}  // namespace

const TableSchema& ResponseTable::Schema() { return kSchema; }

bool ResponseTable::OpenTable() {
  // Four plain handles are registered; the memo is bound by name, as the paging server's
  // tables have always been read.
  std::scoped_lock lock(table_lock_);
  if (!CreateMigrateOpen(this, &data_, fields_.data(), kSchema)) return false;
  memo_ = d4field(data_, "RSP_TEXT");
  SelectTagByName(data_, kSchema.default_tag);
  return true;
}

void ResponseTable::CloseTable() {
  std::scoped_lock lock(table_lock_);
  memo_ = nullptr;
  CloseDB();
}

void ResponseTable::AppendResponse(const ResponseRecord& record) {
  std::scoped_lock lock(table_lock_);
  if (data_ == nullptr) return;
  d4appendStart(data_, 0);
  d4blank(data_);
  AssignDouble(fields_[kLogId], record.LOG_ID);
  AssignDouble(fields_[kEventId], record.EVENT_ID);
  AssignDouble(fields_[kProfileId], record.PROFILE_ID);
  AssignLong(fields_[kRspTime], record.RSP_TIME);
  if (!record.RSP_TEXT.empty() && memo_ != nullptr) AssignMemoText(memo_, record.RSP_TEXT);
  d4append(data_);
  UnlockRecords(data_);
}

void ResponseTable::FindByEventId(double event_id, RecordNumberList* list) {
  std::scoped_lock lock(table_lock_);
  list->clear();
  if (data_ == nullptr) return;
  SelectTagByName(data_, "T_EVENTID");
  for (int rc = d4seekDouble(data_, event_id); rc == r4success;
       rc = d4seekNextDouble(data_, event_id)) {
    list->push_back(static_cast<int32_t>(d4recNoLow(data_)));
  }
}

bool ResponseTable::ReadByRecordNumber(int32_t record_number, ResponseRecord* record) {
  std::scoped_lock lock(table_lock_);
  if (data_ == nullptr || d4goLow(data_, record_number, 1) != r4success) return false;
  record->LOG_ID = ReadDouble(fields_[kLogId]);
  record->EVENT_ID = ReadDouble(fields_[kEventId]);
  record->PROFILE_ID = ReadDouble(fields_[kProfileId]);
  record->RSP_TIME = ReadLong(fields_[kRspTime]);
  record->RSP_TEXT = memo_ != nullptr ? ReadMemoText(memo_) : std::string();
  const size_t end = record->RSP_TEXT.find_last_not_of(" \t\r\n");
  record->RSP_TEXT.resize(end == std::string::npos ? 0 : end + 1);
  return true;
}

int32_t ResponseTable::GetClosingReplyTime(double event_id) {
  std::scoped_lock lock(table_lock_);
  if (data_ == nullptr || memo_ == nullptr) return 0;
  SelectTagByName(data_, "T_EVENTID");
  for (int rc = d4seekDouble(data_, event_id); rc == r4success;
       rc = d4seekNextDouble(data_, event_id)) {
    const int32_t time = ReadLong(fields_[kRspTime]);
    if (time <= 0) continue;
    std::string text = ReadMemoText(memo_);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (text.find("close") != std::string::npos) return time;
  }
  return 0;
}

}  // namespace sdx
