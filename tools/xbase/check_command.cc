// `xbase check FILE`: the production index against its own structure and the table's records.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/xbase/commands.h"
#include "tools/xbase/indexed_table.h"

namespace sdx::tools {

int RunCheck(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: xbase check FILE\n");
    return kExitUsage;
  }
  IndexedTable t;
  if (!OpenIndexedTable(args[0], true, &t)) return kExitBadFile;
  xbase::Status s = t.index->CheckStructure();
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s: %s\n", t.index->file()->path().c_str(), s.message().c_str());
    return kExitBadFile;
  }
  int faults = 0;
  for (const auto& tag : t.index->tags()) {
    std::vector<std::string> notes;
    uint64_t entries = 0;
    s = t.index->CheckTag(*tag, &notes, &entries);
    for (const std::string& note : notes) {
      std::printf("%s: note: %s\n", tag->tag->name().c_str(), note.c_str());
    }
    if (!s.ok()) {
      std::fprintf(stderr, "xbase: tag %s: %s\n", tag->tag->name().c_str(), s.message().c_str());
      ++faults;
      continue;
    }
    std::printf("%s: ok, %llu entries\n", tag->tag->name().c_str(),
                static_cast<unsigned long long>(entries));
  }
  return faults == 0 ? kExitOk : kExitBadFile;
}

}  // namespace sdx::tools
