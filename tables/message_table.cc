#include "tables/message_table.h"

namespace sdx {
namespace {

enum Field { kId, kText };

constexpr FIELD4INFO kFields[] = {
    {"ID", 'B', 8, 0, 0},
    {"TEXT", 'C', 511, 0, 0},
    {nullptr, 0, 0, 0, 0},
};

constexpr TAG4INFO kTags[] = {
    {"T_ID", "ID", nullptr, -340, 0},
    {"T_TEXT", "LEFT(UPPER(TRIM(TEXT)),240)", nullptr, -340, 0},
    {nullptr, nullptr, nullptr, 0, 0},
};

constexpr VersionRule kRules[] = {{0, VersionAction::kRecreate, nullptr, nullptr}};

constexpr TableSchema kSchema = {kFields, kTags, 2, kRules, "T_ID"};

}  // namespace

std::string TextByIdLocked(DATA4* data, FIELD4* text_field, double id) {
  if (data == nullptr) return {};
  SelectTagByName(data, "T_ID");
  if (!SeekDouble(data, id)) return {};
  return ReadText(text_field);
}

bool MessageTable::OpenTable() { return OpenWithSchema(kSchema); }

std::string MessageTable::GetTextById(double id) {
  std::scoped_lock lock(table_lock_);
  return TextByIdLocked(data_, fields_[kText], id);
}

}  // namespace sdx
