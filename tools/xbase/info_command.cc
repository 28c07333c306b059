// `xbase info FILE`: the header, version stamp, fields and memo file of a table.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/xbase/dbf_table.h"
#include "platform/xbase/file_names.h"
#include "tools/xbase/commands.h"

namespace sdx::tools {

namespace {

const char* VersionName(uint8_t version) {
  switch (version) {
    case 0x30:
      return "Visual FoxPro";
    case 0x31:
      return "Visual FoxPro, autoincrement";
    case 0x32:
      return "Visual FoxPro, varchar/varbinary";
    case 0xF5:
      return "FoxPro 2 with memo";
    case 0x03:
      return "FoxBASE+/dBase III, no memo";
    case 0x83:
      return "dBase III with memo";
    default:
      return "unknown";
  }
}

std::string FlagNames(uint8_t flags) {
  std::string names;
  if (flags & 0x01) names += " structural-index";
  if (flags & 0x02) names += " memo";
  if (flags & 0x04) names += " database-container";
  return names.empty() ? " none" : names;
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: xbase info FILE\n");
    return kExitUsage;
  }
  std::unique_ptr<xbase::DbfTable> table;
  xbase::Status s =
      xbase::DbfTable::Open(xbase::WithDefaultExtension(args[0], "dbf"), true, &table);
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s\n", s.message().c_str());
    return kExitBadFile;
  }
  const xbase::DbfHeader& h = table->header();
  std::printf("file: %s\n", table->path().c_str());
  std::printf("version: 0x%02X (%s)\n", h.version(), VersionName(h.version()));
  std::printf("last update: %04d-%02d-%02d\n", h.last_update_year(), h.last_update_month(),
              h.last_update_day());
  std::printf("records: %u\n", h.record_count());
  std::printf("header length: %u\n", h.header_length());
  std::printf("record length: %u\n", h.record_length());
  std::printf("flags: 0x%02X (%s)\n", h.table_flags(), FlagNames(h.table_flags()).c_str() + 1);
  std::printf("code page: 0x%02X\n", h.code_page());
  std::printf("version stamp: %u\n", h.version_stamp());
  std::printf("fields: %zu\n", h.fields.size());
  std::printf("  %3s  %-10s %4s %5s %3s %6s %5s\n", "#", "name", "type", "width", "dec", "offset",
              "flags");
  int number = 0;
  for (const xbase::FieldLayout& f : h.fields) {
    std::printf("  %3d  %-10s %4c %5u %3u %6u  0x%02X\n", ++number, f.name.c_str(), f.type, f.width,
                f.decimals, f.offset, f.flags);
  }
  if (const xbase::MemoFile* memo = table->memo()) {
    std::printf("memo file: %s (block size %u)\n", memo->path().c_str(), memo->block_size());
  }
  return kExitOk;
}

}  // namespace sdx::tools
