// `xbase reindex FILE`: rebuilds every tag of a table's production index from its records.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/xbase/commands.h"
#include "tools/xbase/indexed_table.h"

namespace sdx::tools {

int RunReindex(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: xbase reindex FILE\n");
    return kExitUsage;
  }
  IndexedTable t;
  if (!OpenIndexedTable(args[0], false, &t)) return kExitBadFile;
  xbase::Status s = t.index->Rebuild();
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s\n", s.message().c_str());
    return kExitBadFile;
  }
  std::printf("%zu tags rebuilt\n", t.index->tags().size());
  return kExitOk;
}

}  // namespace sdx::tools
