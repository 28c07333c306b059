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
    {"tags", "FILE",
     "Prints the tags of the table's production index, one line each, tab-separated: name, key\n"
     "expression, FOR expression (empty when none), unique or -, ascending or descending, key\n"
     "length in bytes.",
     RunTags},
    {"walk", "FILE TAG",
     "Prints the entries of a tag in its order (descending tags from the highest key), one\n"
     "line each: the record number, a tab, and the key bytes in hex at the full key length.",
     RunWalk},
    {"stamp", "FILE [N]",
     "Prints the table's version stamp (header bytes 12..15, 0 when none), or sets it to N.",
     RunStamp},
    {"check", "FILE",
     "Checks the production index: pages well formed, keys in order, interior keys and sibling\n"
     "links right, the free list, and every record's key present once in each tag whose FOR it\n"
     "meets and nowhere else. Prints one line per tag; exits 1 naming the first fault of each\n"
     "faulty tag.",
     RunCheck},
    {"reindex", "FILE",
     "Rebuilds every tag of the production index from the table's records into a new file\n"
     "that replaces the old one. For a table no other program has open.",
     RunReindex},
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
