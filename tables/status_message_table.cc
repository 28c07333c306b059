#include "tables/status_message_table.h"

#include <unistd.h>

#include <cstring>

#include "platform/misc/evhub_ini.h"
#include "platform/win/profile_file.h"
#include "tables/message_table.h"

namespace sdx {
namespace {

enum Field { kId, kMsg };

constexpr FIELD4INFO kFields[] = {
    {"ID", 'B', 8, 0, 0},
    {"MSG", 'C', 254, 0, 0},
    {nullptr, 0, 0, 0, 0},
};

constexpr TAG4INFO kTags[] = {
    {"T_ID", "ID", ".NOT. DELETED()", -340, 0},
    {"T_MSG", "LEFT(UPPER(TRIM(MSG)),240)", ".NOT. DELETED()", 0, 0},
    {nullptr, nullptr, nullptr, 0, 0},
};

constexpr VersionRule kRules[] = {{0, VersionAction::kMigrate, "0,1", nullptr}};

constexpr TableSchema kSchema = {kFields, kTags, 1, kRules, "T_ID"};

}  // namespace

StatusMessageTable::StatusMessageTable() {
  char current[254] = {};
  if (getcwd(current, sizeof current) == nullptr) current[0] = '\0';
  std::string folder =
      sdx::win::GetPrivateProfileString("Sdx24", "path", current, sdx::misc::EVHUB_INI());
  // Settings copied from Windows may end the folder with either separator.
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  const size_t length = std::min(folder.size(), sizeof folder_ - 1);
  std::memcpy(folder_, folder.data(), length);
  folder_[length] = '\0';
}

bool StatusMessageTable::OpenTable() { return OpenWithSchema(kSchema); }

std::string StatusMessageTable::GetTextById(double id) {
  std::scoped_lock lock(table_lock_);
  return TextByIdLocked(data_, fields_[kMsg], id);
}

}  // namespace sdx
