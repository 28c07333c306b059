#include "tools/xbase/indexed_table.h"

#include <cstdio>

#include "platform/xbase/dbf_header.h"
#include "platform/xbase/file_names.h"

namespace sdx::tools {

bool OpenIndexedTable(const std::string& file, bool read_only, IndexedTable* out) {
  xbase::Status s =
      xbase::DbfTable::Open(xbase::WithDefaultExtension(file, "dbf"), read_only, &out->table);
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s\n", s.message().c_str());
    return false;
  }
  if (!(out->table->header().table_flags() & xbase::kFlagStructuralIndex)) {
    std::fprintf(stderr, "xbase: %s has no production index\n", out->table->path().c_str());
    return false;
  }
  s = xbase::ProductionIndex::Open(out->table.get(), &out->index);
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s: %s\n", xbase::ProductionIndex::PathFor(*out->table).c_str(),
                 s.message().c_str());
    return false;
  }
  return true;
}

}  // namespace sdx::tools
