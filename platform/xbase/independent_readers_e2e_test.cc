// Tables this engine writes read back equal in two independent readers from Debian: Python's
// dbfread and Perl's XBase (dbf_dump), including a memo, a wide character field, a deleted
// row and doubles that need all 17 digits.
#include <gtest/gtest.h>
#include <stdio.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/xbase/engine_calls.h"
#include "platform/xbase/test_util.h"

namespace sdx::xbase {
namespace {

using testing::TempDir;

// The standard output of a shell command; empty when it cannot run.
std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

struct Row {
  double id;
  const char* name;
  long time;
  bool active;
  const char* memo;
  bool deleted;
};

const Row kRows[] = {
    {0.1, "alpha", 1700000000, true, "first memo", false},
    {-2.75, "", -5, false, "", false},
    {4294967296.0, "exactly twenty chars", 0, true,
     "a longer memo over two blocks of sixty-four "
     "bytes, to cross a block boundary.",
     true},
    {1.0 / 3, "  leading", 99999999, false, "last", false},
};

const FIELD4INFO kFields[] = {
    {"ID", 'B', 8, 0, 0},     {"NAME", 'C', 20, 0, 0},  {"TIME", 'N', 11, 0, 0},
    {"ACTIVE", 'L', 1, 0, 0}, {"NOTES", 'M', 10, 0, 0}, {"WIDE", 'C', 300, 0, 0},
    {nullptr, 0, 0, 0, 0},
};

class IndependentReadersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(code4initLow(&code_, nullptr, 6502, 1615, 0), 0);
    code4lockEnforceSet(&code_, 1);
    DATA4* data = d4create(&code_, path_.c_str(), kFields, nullptr);
    ASSERT_NE(data, nullptr);
    for (const Row& row : kRows) {
      ASSERT_EQ(d4appendStart(data, 0), 0);
      ASSERT_EQ(d4blank(data), 0);
      ASSERT_EQ(f4assignDouble(d4field(data, "ID"), row.id), 0);
      ASSERT_EQ(f4assign(d4field(data, "NAME"), row.name), 0);
      ASSERT_EQ(f4assignLong(d4field(data, "TIME"), row.time), 0);
      ASSERT_EQ(f4assignChar(d4field(data, "ACTIVE"), row.active ? 'T' : 'F'), 0);
      ASSERT_EQ(f4memoAssign(d4field(data, "NOTES"), row.memo), 0);
      ASSERT_EQ(f4assign(d4field(data, "WIDE"), (std::string(290, 'w') + "end").c_str()), 0);
      if (row.deleted) {
        ASSERT_EQ(d4delete(data), 0);
      }
      ASSERT_EQ(d4append(data), 0);
    }
    ASSERT_EQ(d4close(data), 0);
  }
  void TearDown() override { code4initUndo(&code_); }

  CODE4 code_;
  TempDir dir_;
  std::string path_ = dir_.File("written.dbf");
};

TEST_F(IndependentReadersTest, DbfreadReadsWhatWeWrite) {
  const std::string script =
      "import dbfread, json, sys\n"
      "t = dbfread.DBF(sys.argv[1], load=True, char_decode_errors='strict')\n"
      "print(json.dumps({'version': t.header.dbversion, 'count': t.header.numrecords,\n"
      "  'flags': t.header.mdx_flag, 'deleted': len(t.deleted),\n"
      "  'rows': [[r['ID'], r['NAME'], r['TIME'], r['ACTIVE'], r['NOTES'], r['WIDE']]\n"
      "           for r in list(t.records) + list(t.deleted)]}))\n";
  const std::string script_path = dir_.File("read.py");
  testing::WriteWholeFile(script_path, std::vector<uint8_t>(script.begin(), script.end()));
  const std::string out = RunCommand("/usr/bin/python3 " + script_path + " " + path_);
  ASSERT_FALSE(out.empty()) << "dbfread did not run";
  const nlohmann::json result = nlohmann::json::parse(out);
  EXPECT_EQ(result["version"], 0x30);
  EXPECT_EQ(result["count"], 4);
  EXPECT_EQ(result["flags"], 0x02);
  EXPECT_EQ(result["deleted"], 1);
  // dbfread lists live rows first, then deleted ones.
  const Row* order[] = {&kRows[0], &kRows[1], &kRows[3], &kRows[2]};
  ASSERT_EQ(result["rows"].size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const nlohmann::json& r = result["rows"][i];
    const Row& row = *order[i];
    EXPECT_EQ(r[0].get<double>(), row.id);
    EXPECT_EQ(r[1].get<std::string>(), row.name);
    EXPECT_EQ(r[2].get<long>(), row.time);
    EXPECT_EQ(r[3].get<bool>(), row.active);
    if (row.memo[0] == '\0') {
      EXPECT_TRUE(r[4].is_null());
    } else {
      EXPECT_EQ(r[4].get<std::string>(), row.memo);
    }
    EXPECT_EQ(r[5].get<std::string>(), std::string(290, 'w') + "end");
  }
}

TEST_F(IndependentReadersTest, PerlXBaseReadsWhatWeWrite) {
  const std::string out =
      RunCommand("dbf_dump --fs '|' --fields ID,NAME,TIME,ACTIVE,NOTES " + path_);
  ASSERT_FALSE(out.empty()) << "dbf_dump did not run";
  // dbf_dump leaves deleted rows out.
  std::string expected;
  for (const Row& row : kRows) {
    if (row.deleted) continue;
    char id[64];
    std::snprintf(id, sizeof(id), "%.15g", row.id);
    std::string name = row.name;
    expected += std::string(id) + "|" + name + "|" + std::to_string(row.time) + "|" +
                (row.active ? "1" : "0") + "|" + row.memo + "\n";
  }
  EXPECT_EQ(out, expected);
}

}  // namespace
}  // namespace sdx::xbase
