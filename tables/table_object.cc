#include "tables/table_object.h"

#include <unistd.h>

#include <string>

#include "platform/win/fatal_message.h"

namespace sdx {
namespace {

constexpr char kVersionMismatchCaption[] = "Database version mismatch";

const VersionRule* FindRule(const TableSchema& schema, unsigned found) {
  for (const VersionRule& rule : schema.rules) {
    if (rule.found == found) return &rule;
  }
  return nullptr;
}

// The table's data is lost: its files are removed and it is created empty. Failures of the
// removal show in the creation or the opening after it.
void DeleteAndRecreate(awdb::AWCDataBase* base, const TableSchema& schema) {
  std::string name = std::string(base->folder_) + "/" + base->name_ + ".dbf";
  unlink(name.c_str());
  name.replace(name.size() - 4, 4, ".cdx");
  unlink(name.c_str());
  base->CreateDB(schema.fields, schema.tags);
}

}  // namespace

bool CreateMigrateOpen(awdb::AWCDataBase* base, DATA4** data, FIELD4** fields,
                       const TableSchema& schema) {
  base->BuildDBName();
  base->version_ = schema.version;
  base->CreateDB(schema.fields, schema.tags);
  const unsigned found = base->GetDBVersion();
  if (found != schema.version) {
    if (const VersionRule* rule = FindRule(schema, found)) {
      switch (rule->action) {
        case VersionAction::kMigrate:
          base->Migrate(rule->field_map, data, fields, schema.fields, schema.tags);
          break;
        case VersionAction::kRecreate:
          DeleteAndRecreate(base, schema);
          break;
        case VersionAction::kStopProcess:
          sdx::win::FatalMessage(kVersionMismatchCaption, rule->stop_text);
      }
    }
  }
  return base->OpenDB(data, fields) != 0;
}

}  // namespace sdx
