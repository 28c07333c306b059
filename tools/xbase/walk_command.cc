// `xbase walk FILE TAG`: a tag's entries in its order, record number and key bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/xbase/commands.h"
#include "tools/xbase/indexed_table.h"

namespace sdx::tools {

int RunWalk(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: xbase walk FILE TAG\n");
    return kExitUsage;
  }
  IndexedTable t;
  if (!OpenIndexedTable(args[0], true, &t)) return kExitBadFile;
  TAG4* tag = t.index->FindTag(args[1]);
  if (tag == nullptr) {
    std::fprintf(stderr, "xbase: no tag %s\n", args[1].c_str());
    return kExitBadFile;
  }
  xbase::CdxCursor cursor(tag->tag.get());
  xbase::Status s = cursor.First();
  for (; s.ok() && cursor.valid(); s = cursor.Next()) {
    std::printf("%u\t", cursor.recno());
    for (unsigned char c : cursor.key()) std::printf("%02x", c);
    std::printf("\n");
  }
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s\n", s.message().c_str());
    return kExitBadFile;
  }
  return kExitOk;
}

}  // namespace sdx::tools
