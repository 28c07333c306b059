// TableObject: the common shape of the six table classes. It owns the table lock, the table's
// engine handle and its field handles in schema order, and opens the table with the
// create-version-migrate-open algorithm every table shares. Lock order: a table lock, then
// record locks of that table (released before the table lock); never two table locks at once.
#pragma once

#include <array>
#include <mutex>

#include "platform/awdb/awc_database.h"
#include "tables/field_access.h"
#include "tables/table_schema.h"

namespace sdx {

// The steps of opening any table, apart from the handles: build the name, create when missing,
// act on an older version stamp, open. True when the table is open; `data` and `fields` are
// bound then. The default tag is selected by the caller.
bool CreateMigrateOpen(awdb::AWCDataBase* base, DATA4** data, FIELD4** fields,
                       const TableSchema& schema);

template <int kFieldCount>
class TableObject : public awdb::AWCDataBase {
 public:
  TableObject() { RegisterHandles(&data_, fields_.data(), kFieldCount); }

  // True while the table is open through this object.
  bool is_open() {
    std::scoped_lock lock(table_lock_);
    return data_ != nullptr;
  }

  // Closes the table under the table lock, so that a query running on another thread finishes
  // first and later ones find the table closed rather than half torn down.
  void CloseTable() {
    std::scoped_lock lock(table_lock_);
    CloseDB();
  }

 protected:
  // Opens the table and selects its default tag; the table lock is held throughout.
  bool OpenWithSchema(const TableSchema& schema) {
    std::scoped_lock lock(table_lock_);
    if (!CreateMigrateOpen(this, &data_, fields_.data(), schema)) return false;
    SelectTagByName(data_, schema.default_tag);
    return true;
  }

  std::mutex table_lock_;  // guards data_, fields_ and the engine's current record of the table
  DATA4* data_ = nullptr;  // null while the table is not open; every query then finds nothing
  std::array<FIELD4*, kFieldCount> fields_ = {};
};

}  // namespace sdx
