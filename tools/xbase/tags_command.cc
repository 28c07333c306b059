// `xbase tags FILE`: the tags of a table's production index, one line each.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/xbase/commands.h"
#include "tools/xbase/indexed_table.h"

namespace sdx::tools {

int RunTags(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: xbase tags FILE\n");
    return kExitUsage;
  }
  IndexedTable t;
  if (!OpenIndexedTable(args[0], true, &t)) return kExitBadFile;
  for (const auto& tag : t.index->tags()) {
    const xbase::CdxTag& cdx = *tag->tag;
    std::printf("%s\t%s\t%s\t%s\t%s\t%u\n", cdx.name().c_str(), cdx.key_expression().c_str(),
                cdx.for_expression().c_str(), cdx.unique() ? "unique" : "-",
                cdx.descending() ? "descending" : "ascending", cdx.key_length());
  }
  return kExitOk;
}

}  // namespace sdx::tools
