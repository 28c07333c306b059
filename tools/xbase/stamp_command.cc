// `xbase stamp FILE [N]`: reads or sets a table's version stamp.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/xbase/dbf_table.h"
#include "platform/xbase/file_names.h"
#include "tools/xbase/commands.h"

namespace sdx::tools {

int RunStamp(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) {
    std::fprintf(stderr, "usage: xbase stamp FILE [N]\n");
    return kExitUsage;
  }
  unsigned long stamp = 0;
  if (args.size() == 2) {
    char* end = nullptr;
    stamp = std::strtoul(args[1].c_str(), &end, 10);
    if (args[1].empty() || *end != '\0' || args[1][0] == '-' || stamp > UINT32_MAX) {
      std::fprintf(stderr, "xbase: a stamp is a number from 0 to 4294967295\n");
      return kExitUsage;
    }
  }
  const bool set = args.size() == 2;
  std::unique_ptr<xbase::DbfTable> table;
  xbase::Status s =
      xbase::DbfTable::Open(xbase::WithDefaultExtension(args[0], "dbf"), !set, &table);
  uint32_t found = 0;
  if (s.ok())
    s = set ? table->WriteVersionStamp(static_cast<uint32_t>(stamp))
            : table->ReadVersionStamp(&found);
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s\n", s.message().c_str());
    return kExitBadFile;
  }
  if (!set) std::printf("%u\n", found);
  return kExitOk;
}

}  // namespace sdx::tools
