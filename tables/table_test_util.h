// Helpers of the table tests: a scratch folder with settings that point at it, version stamps
// written straight into a table's header, rows appended through a second engine context (as
// the paging server would), and the golden tables copied in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "gtest/gtest.h"
#include "platform/win/profile_file.h"
#include "platform/win/temp_folder_test_util.h"
#include "platform/xbase/engine_calls.h"
#include "tables/database_engine.h"

namespace sdx::testing {

using FieldValue = std::variant<double, long, std::string>;
using Row = std::vector<std::pair<const char*, FieldValue>>;

// Reads or writes the 32-bit version stamp at bytes 12..15 of a DBF file.
inline uint32_t ReadStamp(const std::string& dbf) {
  std::ifstream file(dbf, std::ios::binary);
  unsigned char bytes[16] = {};
  file.read(reinterpret_cast<char*>(bytes), sizeof bytes);
  return bytes[12] | bytes[13] << 8 | bytes[14] << 16 | static_cast<uint32_t>(bytes[15]) << 24;
}

inline void WriteStamp(const std::string& dbf, uint32_t version) {
  std::fstream file(dbf, std::ios::binary | std::ios::in | std::ios::out);
  ASSERT_TRUE(file.is_open()) << dbf;
  const char bytes[4] = {static_cast<char>(version), static_cast<char>(version >> 8),
                         static_cast<char>(version >> 16), static_cast<char>(version >> 24)};
  file.seekp(12);
  file.write(bytes, 4);
}

// Appends rows to folder/name through a context of its own; 'M' fields take memo texts.
inline void AppendRows(const std::string& path, const std::vector<Row>& rows) {
  CODE4 code_base;
  ASSERT_EQ(code4initLow(&code_base, nullptr, kCode4InterfaceVersion, kCode4StructSize, 0), 0);
  DATA4* data = d4open(&code_base, path.c_str());
  ASSERT_NE(data, nullptr) << path;
  for (const Row& row : rows) {
    ASSERT_EQ(d4appendStart(data, 0), 0);
    d4blank(data);
    for (const auto& [name, value] : row) {
      FIELD4* field = d4field(data, name);
      ASSERT_NE(field, nullptr) << name;
      if (const double* d = std::get_if<double>(&value)) {
        f4assignDouble(field, *d);
      } else if (const long* l = std::get_if<long>(&value)) {
        f4assignLong(field, *l);
      } else if (f4type(field) == 'M') {
        const std::string& text = std::get<std::string>(value);
        f4memoAssignN(field, text.data(), static_cast<unsigned>(text.size()));
      } else {
        f4assign(field, std::get<std::string>(value).c_str());
      }
    }
    ASSERT_EQ(d4append(data), 0);
  }
  d4close(data);
  code4initUndo(&code_base);
}

// A scratch folder whose settings file names it as the paging server's folder; the database
// folder is its subfolder "database".
class TableFolder {
 public:
  TableFolder() : folder_("tables") {
    std::filesystem::create_directories(database());
    const std::string ini = folder_.path() + "/evhub.ini";
    sdx::win::WritePrivateProfileString("Sdx24", "path", folder_.path(), ini);
    setenv("SDX_EVHUB_INI", ini.c_str(), 1);
  }
  const std::string& path() const { return folder_.path(); }
  std::string database() const { return folder_.path() + "/database"; }

 private:
  TempFolder folder_;
};

// Binds a table object to folder/name and the engine, and opens it.
template <typename Table>
bool OpenIn(Table* table, const char* name, const std::string& folder, DatabaseEngine* engine) {
  const size_t length = std::min(folder.size(), sizeof table->folder_ - 1);
  folder.copy(table->folder_, length);
  table->folder_[length] = '\0';
  table->SetDBName(name);
  table->code_base_ = engine->code_base();
  return table->OpenTable();
}

}  // namespace sdx::testing
