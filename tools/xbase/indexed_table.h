// A table opened with its production index for the index subcommands of the `xbase` tool.
#pragma once

#include <memory>
#include <string>

#include "platform/xbase/dbf_table.h"
#include "platform/xbase/production_index.h"

namespace sdx::tools {

struct IndexedTable {
  std::unique_ptr<xbase::DbfTable> table;
  std::unique_ptr<xbase::ProductionIndex> index;
};

// Opens FILE (".dbf" added when it has no extension) and its production index; prints why not
// and answers false when either cannot be opened or the table has no index.
bool OpenIndexedTable(const std::string& file, bool read_only, IndexedTable* out);

}  // namespace sdx::tools
