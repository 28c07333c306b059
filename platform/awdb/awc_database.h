// AWCDataBase: the base of every table object. It owns one table's names and version stamp and
// knows how to create, migrate, open and close that table through the engine; the table classes
// add their schema, their lock and their queries. Versions live in the DBF header (bytes 12..15,
// little-endian, 0 when never stamped), which no other program of the family writes.
#pragma once

#include <string>
#include <vector>

#include "platform/xbase/engine_calls.h"
#include "platform/xbase/engine_index_calls.h"

namespace sdx::awdb {

class AWCDataBase {
 public:
  AWCDataBase();
  virtual ~AWCDataBase();
  AWCDataBase(const AWCDataBase&) = delete;
  AWCDataBase& operator=(const AWCDataBase&) = delete;

  // `name` must live as long as the process (a literal).
  void SetDBName(const char* name);
  // full_name_ = folder_ + "/" + name (no extension); a trailing separator of the folder is
  // dropped, and an empty folder gives the name alone.
  void BuildDBName();
  // Creates DBF, FPT (when a memo field is listed) and CDX when the table's files do not exist,
  // stamped with version_; an existing table is left alone. Lists end with a nameless entry.
  int CreateDB(const FIELD4INFO* fields, const TAG4INFO* tags);
  // The stamp of the table on disk; 0 when it has none or cannot be read.
  unsigned GetDBVersion();
  // Rewrites the table into the new layout: field i of the new layout is filled from the old
  // field named by the i-th number of `field_map` (0-based), later fields start empty; rows,
  // deletion flags and memos are kept, the tags rebuilt, the stamp set to version_. The new
  // files are built beside the old ones (the old rows locked meanwhile) and moved into place
  // only when complete: DBF, then FPT, then CDX. The table is closed first; reopen it with
  // OpenDB. A failure before the move leaves the old table as it was.
  int Migrate(const char* field_map, DATA4** data, FIELD4** fields, const FIELD4INFO* new_fields,
              const TAG4INFO* new_tags);
  // Opens the table and its production index through code_base_; binds *data and, in schema
  // order, each of the registered field handles. Not 0 when open.
  int OpenDB(DATA4** data, FIELD4** fields);
  void CloseDB();

 protected:
  // The handles OpenDB binds and CloseDB clears; registered by the table's constructor.
  void RegisterHandles(DATA4** data, FIELD4** fields, int field_count);

 public:
  // Members the table layer sets or reads.
  const char* name_ = "";
  char folder_[256] = {};
  std::string full_name_;
  unsigned version_ = 0;
  CODE4* code_base_ = nullptr;

 private:
  // The name the new files of a migration have beside the table until they replace it.
  static constexpr const char* kMigrateSuffix = "~mig";

  void RemoveTemp(const std::string& temp);
  int BuildMigrated(const std::string& dbf, const std::string& temp, const std::vector<int>& map,
                    const FIELD4INFO* new_fields, const TAG4INFO* new_tags);
  int MoveIntoPlace(const std::string& dbf, const std::string& temp);

  DATA4** data_ = nullptr;
  FIELD4** fields_ = nullptr;
  int field_count_ = 0;
  // What OpenDB opened and bound, for CloseDB.
  DATA4* open_ = nullptr;
  DATA4** bound_data_ = nullptr;
  FIELD4** bound_fields_ = nullptr;
};

}  // namespace sdx::awdb
