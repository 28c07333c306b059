// `xbase dump FILE [--from N] [--count N] [--csv]`: the records of a table in record-number
// order, as text lines or as CSV.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/xbase/dbf_table.h"
#include "platform/xbase/field_value.h"
#include "platform/xbase/file_names.h"
#include "tools/xbase/commands.h"

namespace sdx::tools {

namespace {

bool ParseCount(const std::string& text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  char* end = nullptr;
  const unsigned long v = std::strtoul(text.c_str(), &end, 10);
  if (*end != '\0' || text[0] == '-' || v > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

std::string CsvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted.push_back('"');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace

int RunDump(const std::vector<std::string>& args) {
  std::string file;
  uint32_t from = 1;
  uint32_t count = UINT32_MAX;
  bool csv = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--csv") {
      csv = true;
    } else if (args[i] == "--from" && i + 1 < args.size() && ParseCount(args[i + 1], &from) &&
               from > 0) {
      ++i;
    } else if (args[i] == "--count" && i + 1 < args.size() && ParseCount(args[i + 1], &count)) {
      ++i;
    } else if (file.empty() && !args[i].starts_with("--")) {
      file = args[i];
    } else {
      std::fprintf(stderr, "usage: xbase dump FILE [--from N] [--count N] [--csv]\n");
      return kExitUsage;
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "usage: xbase dump FILE [--from N] [--count N] [--csv]\n");
    return kExitUsage;
  }

  std::unique_ptr<xbase::DbfTable> table;
  xbase::Status s = xbase::DbfTable::Open(xbase::WithDefaultExtension(file, "dbf"), true, &table);
  uint32_t records = 0;
  if (s.ok()) s = table->ReadRecordCount(&records);
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s\n", s.message().c_str());
    return kExitBadFile;
  }
  const auto& fields = table->fields();
  if (csv) {
    std::string line = "DELETED";
    for (const auto& f : fields) line += "," + CsvField(f.name);
    std::printf("%s\n", line.c_str());
  }
  int result = kExitOk;
  std::vector<uint8_t> record(table->record_length());
  for (uint64_t n = from; n <= records && n - from < count; ++n) {
    const uint32_t number = static_cast<uint32_t>(n);
    s = table->ReadRecord(number, record.data());
    if (!s.ok()) {
      std::fprintf(stderr, "xbase: record %u: %s\n", number, s.message().c_str());
      return kExitBadFile;
    }
    const bool deleted = record[0] == '*';
    std::string line =
        csv ? (deleted ? "1" : "0") : "#" + std::to_string(number) + (deleted ? " *" : "");
    for (const auto& f : fields) {
      std::string value;
      if (xbase::IsMemoType(f.type)) {
        s = table->ReadMemo(f, record.data(), &value);
        if (!s.ok()) {
          std::fprintf(stderr, "xbase: record %u field %s: %s\n", number, f.name.c_str(),
                       s.message().c_str());
          result = kExitBadFile;
        }
      } else {
        value = xbase::FieldText(f, record.data());
        if (f.type == 'C') value = TrimRight(value);
      }
      line += csv ? "," + CsvField(value) : " " + f.name + "=" + value;
    }
    std::printf("%s\n", line.c_str());
  }
  return result;
}

}  // namespace sdx::tools
