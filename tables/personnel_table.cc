#include "tables/personnel_table.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace sdx {
namespace {

enum Field { kId, kName, kAllNodes, kType, kExclude, kPassword };

constexpr FIELD4INFO kFields[] = {
    {"ID", 'B', 8, 0, 0},   {"NAME", 'C', 40, 0, 0},   {"ALLNODES", 'L', 1, 0, 0},
    {"TYPE", 'N', 1, 0, 0}, {"EXCLUDE", 'L', 1, 0, 0}, {"PASSWORD", 'C', 40, 0, 0},
    {nullptr, 0, 0, 0, 0},
};

constexpr TAG4INFO kTags[] = {
    {"T_ID", "ID", ".NOT. DELETED()", -340, 0},
    {nullptr, nullptr, nullptr, 0, 0},
};

constexpr VersionRule kRules[] = {
    {0, VersionAction::kMigrate, "0,1,5", nullptr},
    {1, VersionAction::kMigrate, "0,1,2,3", nullptr},
    {2, VersionAction::kMigrate, "0,1,2,3,4", nullptr},
};

constexpr TableSchema kSchema = {kFields, kTags, 3, kRules, "T_ID"};

bool IsTrue(const FIELD4* field) {
  const char* bytes = f4ptr(field);
  return bytes != nullptr && std::strchr("TtYy", bytes[0]) != nullptr && bytes[0] != '\0';
}

void CopyText(const std::string& text, char* out, size_t size) {
  const size_t length = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
}

}  // namespace

PersonnelTable::~PersonnelTable() { CloseTable(); }

bool PersonnelTable::OpenTable() { return OpenWithSchema(kSchema); }

bool PersonnelTable::FindById(double id, PersonRecord* record) {
  std::scoped_lock lock(table_lock_);
  if (data_ == nullptr || !SeekDouble(data_, id)) return false;
  ReadCurrentRecord(record);
  return true;
}

std::string PersonnelTable::GetNameById(double id) {
  std::scoped_lock lock(table_lock_);
  if (data_ == nullptr || !SeekDouble(data_, id)) return {};
  return ReadText(fields_[kName]);
}

int PersonnelTable::CollectRecordNumbers(RecordNumberList* list) {
  std::scoped_lock lock(table_lock_);
  list->clear();
  if (data_ == nullptr) return 0;
  for (int rc = d4top(data_); rc == r4success && !d4eof(data_); rc = d4skip(data_, 1)) {
    list->push_back(static_cast<int32_t>(d4recNoLow(data_)));
  }
  return static_cast<int>(list->size());
}

bool PersonnelTable::ReadByRecordNumber(int32_t record_number, PersonRecord* record) {
  std::scoped_lock lock(table_lock_);
  if (data_ == nullptr || d4goLow(data_, record_number, 1) != r4success) return false;
  ReadCurrentRecord(record);
  return true;
}

double PersonnelTable::ReadCurrentRecord(PersonRecord* record) {
  record->ALLNODES = IsTrue(fields_[kAllNodes]) ? 1 : 0;
  CopyText(ReadText(fields_[kName]), record->NAME, sizeof record->NAME);
  record->ID = ReadDouble(fields_[kId]);
  record->TYPE = static_cast<uint8_t>(ReadLong(fields_[kType]) & 0xFF);
  record->EXCLUDE = IsTrue(fields_[kExclude]) ? 1 : 0;
  CopyText(ReadText(fields_[kPassword]), record->PASSWORD, sizeof record->PASSWORD);
  return record->ID;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::vector<std::string> SortedProfileList(PersonnelTable* table) {
  RecordNumberList numbers;
  table->CollectRecordNumbers(&numbers);
  std::vector<std::string> profiles;
  for (int32_t number : numbers) {
    PersonRecord person;
    if (!table->ReadByRecordNumber(number, &person) || person.TYPE != 0) continue;
    char id[64];
    std::snprintf(id, sizeof id, "%.0f", person.ID);
    profiles.push_back(std::string(person.NAME) + "," + id);
  }
  SortAscendingNoCase(&profiles);
  return profiles;
}

void SortAscendingNoCase(std::vector<std::string>* list) {
  // Stable, so that equal entries keep their order (the profiles' ID order), as the repeated
  // passes of neighbour swaps the profile list was always sorted with do.
  std::stable_sort(list->begin(), list->end(), LessIgnoringCase);
}

}  // namespace sdx
