#include "platform/awdb/awc_database.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/xbase/dbf_table.h"
#include "platform/xbase/engine_codes.h"
#include "platform/xbase/file_names.h"

namespace sdx::awdb {

namespace {

using xbase::CompanionFileName;
using xbase::ResolveFileName;

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// Removes a file of that name in any letter case, if there is one.
void RemoveAnyCase(const std::string& path) {
  const std::string found = ResolveFileName(path);
  if (Exists(found)) std::remove(found.c_str());
}

bool IsMemo(int type) { return type == 'M' || type == 'G' || type == 'W'; }
bool IsNumber(int type) {
  return type == 'B' || type == 'N' || type == 'F' || type == 'I' || type == 'Y';
}

// The field map: comma-separated 0-based field numbers. False on anything else.
bool ParseFieldMap(const char* text, std::vector<int>* map) {
  if (text == nullptr) return false;
  const char* p = text;
  while (*p != '\0') {
    char* end = nullptr;
    const long number = std::strtol(p, &end, 10);
    if (end == p || number < 0 || number > 32767) return false;
    map->push_back(static_cast<int>(number));
    p = end;
    while (*p == ' ') ++p;
    if (*p == ',') ++p;
  }
  return true;
}

// The context's error code, left as it was.
int LastError(CODE4* code) {
  const int code_now = code4errorCode(code, 0);
  code4errorCode(code, code_now);
  return code_now != 0 ? code_now : xbase::kErrOpen;
}

// Copies one field of the old row into the new row being appended, converting between types
// as the new layout needs. Not 0 when the old value could not be read.
int CopyField(CODE4* code, FIELD4* from, FIELD4* to) {
  const int from_type = f4type(from);
  const int to_type = f4type(to);
  if (IsMemo(from_type) || IsMemo(to_type)) {
    code4errorCode(code, 0);
    const char* text = f4memoStr(from);
    const unsigned long length = f4memoLen(from);
    if (code4errorCode(code, 0) != 0 || text == nullptr) return xbase::kErrMemo;
    return IsMemo(to_type) ? f4memoAssignN(to, text, static_cast<unsigned>(length))
                           : f4assignN(to, text, static_cast<unsigned>(length));
  }
  if (from_type == to_type && f4len(from) == f4len(to) && f4decimals(from) == f4decimals(to)) {
    // The row being appended is written whole, so its bytes may be set directly.
    std::memcpy(f4ptr(to), f4ptr(from), f4len(to));
    return xbase::kSuccess;
  }
  if (IsNumber(from_type) && IsNumber(to_type)) return f4assignDouble(to, f4double(from));
  const char* text = f4str(from);
  return f4assignN(to, text, static_cast<unsigned>(f4len(from)));
}

}  // namespace

AWCDataBase::AWCDataBase() = default;
AWCDataBase::~AWCDataBase() = default;

void AWCDataBase::SetDBName(const char* name) { name_ = name != nullptr ? name : ""; }

void AWCDataBase::BuildDBName() {
  std::string folder(folder_, strnlen(folder_, sizeof(folder_)));
  // Folders copied from Windows settings may end in either separator.
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  full_name_ = folder.empty() ? std::string(name_) : folder + "/" + name_;
}

void AWCDataBase::RegisterHandles(DATA4** data, FIELD4** fields, int field_count) {
  data_ = data;
  fields_ = fields;
  field_count_ = field_count;
}

int AWCDataBase::CreateDB(const FIELD4INFO* fields, const TAG4INFO* tags) {
  if (code_base_ == nullptr || fields == nullptr) return xbase::kErrParmNull;
  const std::string dbf = full_name_ + ".dbf";
  if (Exists(ResolveFileName(dbf))) return xbase::kSuccess;
  // Companions without their table belong to no table; a new one must not inherit them.
  RemoveAnyCase(full_name_ + ".fpt");
  RemoveAnyCase(full_name_ + ".cdx");
  DATA4* data = d4create(code_base_, full_name_.c_str(), fields, tags);
  if (data == nullptr) return LastError(code_base_);
  const int rc = d4versionStampSet(data, static_cast<long>(version_));
  const int closed = d4close(data);
  return rc != 0 ? rc : closed;
}

unsigned AWCDataBase::GetDBVersion() {
  std::unique_ptr<xbase::DbfTable> table;
  if (!xbase::DbfTable::Open(ResolveFileName(full_name_ + ".dbf"), true, &table).ok()) return 0;
  uint32_t stamp = 0;
  if (!table->ReadVersionStamp(&stamp).ok()) return 0;
  return stamp;
}

int AWCDataBase::OpenDB(DATA4** data, FIELD4** fields) {
  if (code_base_ == nullptr) return 0;
  if (open_ != nullptr) CloseDB();
  DATA4* opened = d4open(code_base_, full_name_.c_str());
  if (opened == nullptr) return 0;
  open_ = opened;
  bound_data_ = data;
  bound_fields_ = fields;
  if (data != nullptr) *data = opened;
  if (fields != nullptr) {
    const int available = d4numFields(opened);
    for (int i = 0; i < field_count_; ++i) {
      fields[i] = i < available ? d4fieldJ(opened, static_cast<short>(i + 1)) : nullptr;
    }
  }
  return 1;
}

void AWCDataBase::CloseDB() {
  if (open_ != nullptr) d4close(open_);
  open_ = nullptr;
  if (bound_data_ != nullptr) *bound_data_ = nullptr;
  if (bound_fields_ != nullptr) {
    for (int i = 0; i < field_count_; ++i) bound_fields_[i] = nullptr;
  }
  bound_data_ = nullptr;
  bound_fields_ = nullptr;
}

int AWCDataBase::Migrate(const char* field_map, DATA4** data, FIELD4** fields,
                         const FIELD4INFO* new_fields, const TAG4INFO* new_tags) {
  if (code_base_ == nullptr || new_fields == nullptr) return xbase::kErrParmNull;
  std::vector<int> map;
  if (!ParseFieldMap(field_map, &map)) return xbase::kErrParm;
  if (open_ != nullptr && (data == nullptr || *data == open_)) CloseDB();
  if (data != nullptr && *data != nullptr) {
    d4close(*data);
    *data = nullptr;
  }
  if (fields != nullptr) {
    for (int i = 0; i < field_count_; ++i) fields[i] = nullptr;
  }

  const std::string dbf = ResolveFileName(full_name_ + ".dbf");
  const std::string temp = full_name_ + kMigrateSuffix;
  RemoveTemp(temp);
  int rc = BuildMigrated(dbf, temp, map, new_fields, new_tags);
  if (rc == xbase::kSuccess) rc = MoveIntoPlace(dbf, temp);
  RemoveTemp(temp);
  return rc;
}

void AWCDataBase::RemoveTemp(const std::string& temp) {
  for (const char* extension : {".dbf", ".fpt", ".cdx", ".cdx.new"}) {
    std::remove((temp + extension).c_str());
  }
}

int AWCDataBase::BuildMigrated(const std::string& dbf, const std::string& temp,
                               const std::vector<int>& map, const FIELD4INFO* new_fields,
                               const TAG4INFO* new_tags) {
  DATA4* old_table = d4open(code_base_, dbf.c_str());
  if (old_table == nullptr) return LastError(code_base_);
  const long count = _d4recCountDo2(old_table, 0);
  int rc = count < 0 ? static_cast<int>(count) : xbase::kSuccess;
  // Every row is locked, so that no other program changes one while it is copied.
  for (long record = 1; rc == xbase::kSuccess && record <= count; ++record) {
    if (d4lockInternal(old_table, static_cast<unsigned long>(record), 1, 1) != 0) {
      rc = xbase::kErrLock;
    }
  }
  DATA4* new_table = nullptr;
  if (rc == xbase::kSuccess) {
    new_table = d4create(code_base_, temp.c_str(), new_fields, nullptr);
    if (new_table == nullptr) rc = LastError(code_base_);
  }
  std::vector<std::pair<FIELD4*, FIELD4*>> copies;
  for (size_t i = 0; rc == xbase::kSuccess && i < map.size(); ++i) {
    FIELD4* from = d4fieldJ(old_table, static_cast<short>(map[i] + 1));
    FIELD4* to = d4fieldJ(new_table, static_cast<short>(i + 1));
    if (from == nullptr || to == nullptr) rc = xbase::kErrParm;
    copies.emplace_back(from, to);
  }
  for (long record = 1; rc == xbase::kSuccess && record <= count; ++record) {
    rc = d4goLow(old_table, record, 0);
    if (rc == xbase::kSuccess) rc = d4appendStart(new_table, 0);
    if (rc == xbase::kSuccess) rc = d4blank(new_table);
    for (size_t i = 0; rc == xbase::kSuccess && i < copies.size(); ++i) {
      rc = CopyField(code_base_, copies[i].first, copies[i].second);
    }
    if (rc == xbase::kSuccess && d4deleted(old_table)) rc = d4delete(new_table);
    if (rc == xbase::kSuccess) rc = d4append(new_table);
  }
  if (rc == xbase::kSuccess) rc = d4versionStampSet(new_table, static_cast<long>(version_));
  if (rc == xbase::kSuccess && new_tags != nullptr && new_tags->name != nullptr) {
    rc = d4createIndex(new_table, new_tags);
  }
  if (new_table != nullptr) {
    const int closed = d4close(new_table);
    if (rc == xbase::kSuccess) rc = closed;
  }
  d4close(old_table);
  return rc;
}

int AWCDataBase::MoveIntoPlace(const std::string& dbf, const std::string& temp) {
  // The companions keep the letter case of the table's own files.
  const std::string fpt = CompanionFileName(dbf, "fpt");
  const std::string cdx = CompanionFileName(dbf, "cdx");
  if (std::rename((temp + ".dbf").c_str(), dbf.c_str()) != 0) return xbase::kErrWrite;
  for (const auto& [from, to] : {std::pair{temp + ".fpt", fpt}, std::pair{temp + ".cdx", cdx}}) {
    if (Exists(from)) {
      if (std::rename(from.c_str(), to.c_str()) != 0) return xbase::kErrWrite;
    } else if (Exists(to)) {
      std::remove(to.c_str());
    }
  }
  return xbase::kSuccess;
}

}  // namespace sdx::awdb
