// xbase: inspects the engine's tables from the command line. `xbase help` lists the commands.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/xbase/commands.h"

namespace sdx::tools {
namespace {

const XbaseCommand kCommands[] = {
    {"info", "FILE",
     "Prints a table's header (version, last update, record count, header and record length,\n"
     "flags, code page), its version stamp and its fields. The version stamp is the little-\n"
     "endian number in header bytes 12..15 that the table-creation layer writes; 0 means the\n"
     "table has none. For a table with memo fields, the memo file and its block size.",
     RunInfo},
    {"dump", "FILE [--from N] [--count N] [--csv]",
     "Prints the records in record-number order, from record N (default 1), at most --count\n"
     "of them. With --csv: a header row of the field names after a first column DELETED, then\n"
     "one row per record with DELETED 0 or 1; doubles are written with 17 significant digits so\n"
     "that they read back exactly, memo fields as their text.",
     RunDump},
};

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: xbase COMMAND ARGUMENTS\n\ncommands:\n");
  for (const XbaseCommand& c : kCommands) std::fprintf(out, "  xbase %s %s\n", c.name, c.usage);
  std::fprintf(out,
               "  xbase help [COMMAND]\n\nExit codes: 0 done, 1 missing or bad file, 2 usage.\n");
}

int Help(const std::vector<std::string>& args) {
  if (args.empty()) {
    PrintUsage(stdout);
    return kExitOk;
  }
  for (const XbaseCommand& c : kCommands) {
    if (args[0] == c.name) {
      std::printf("xbase %s %s\n\n%s\n", c.name, c.usage, c.help);
      return kExitOk;
    }
  }
  std::fprintf(stderr, "xbase: no command '%s'\n", args[0].c_str());
  return kExitUsage;
}

}  // namespace
}  // namespace sdx::tools

int main(int argc, char** argv) {
  using namespace sdx::tools;
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  const std::string name = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (name == "help" || name == "--help" || name == "-h") return Help(args);
  for (const XbaseCommand& c : kCommands) {
    if (name == c.name) return c.run(args);
  }
  std::fprintf(stderr, "xbase: no command '%s'\n", name.c_str());
  PrintUsage(stderr);
  return kExitUsage;
}
