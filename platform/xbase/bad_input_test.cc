// Damaged tables and memo files give error codes or the documented fallbacks, never a crash,
// a hang or an allocation the file does not justify.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "platform/xbase/dbf_table.h"
#include "platform/xbase/engine_calls.h"
#include "platform/xbase/field_value.h"
#include "platform/xbase/test_util.h"

namespace sdx::xbase {
namespace {

using testing::TempDir;

void PutU16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

TEST(BadInputTest, DamagedTableHeadersAreRefused) {
  TempDir dir;
  const std::vector<uint8_t> good =
      testing::ReadWholeFile(testing::FixtureDir("xbase-golden") + "/LogStatusMsgs.dbf");
  ASSERT_GT(good.size(), 400u);
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
  };
  const Case kCases[] = {
      {"empty file", [](auto& b) { b.clear(); }},
      {"cut inside the header", [](auto& b) { b.resize(20); }},
      {"cut inside the descriptors", [](auto& b) { b.resize(70); }},
      {"cut inside the records", [](auto& b) { b.resize(b.size() - 300); }},
      {"unknown version", [](auto& b) { b[0] = 0x8B; }},
      {"header length past the end", [](auto& b) { PutU16(b, 8, 0xFFF0); }},
      {"header length too small", [](auto& b) { PutU16(b, 8, 40); }},
      {"record length disagrees", [](auto& b) { PutU16(b, 10, 100); }},
      {"record length zero", [](auto& b) { PutU16(b, 10, 0); }},
      {"field wider than the record", [](auto& b) { b[32 + 32 + 17] = 0x40; }},
      {"no terminator", [](auto& b) { std::memset(b.data() + 96, 'A', 264); }},
      {"nameless field", [](auto& b) { b[32] = 0; }},
      {"count beyond the data", [](auto& b) { b[6] = 1; }},
  };
  CODE4 code;
  ASSERT_EQ(code4initLow(&code, nullptr, 6502, 1615, 0), 0);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = good;
    c.damage(bytes);
    const std::string path = dir.File("bad.dbf");
    testing::WriteWholeFile(path, bytes);
    std::unique_ptr<DbfTable> table;
    Status s = DbfTable::Open(path, true, &table);
    EXPECT_FALSE(s.ok());
    EXPECT_LT(s.code(), 0);
    code4errorCode(&code, 0);
    EXPECT_EQ(d4open(&code, path.c_str()), nullptr);
    EXPECT_LT(code4errorCode(&code, 0), 0);
  }
  code4initUndo(&code);
}

TEST(BadInputTest, DamagedMemosReadAsEmptyWithAnError) {
  TempDir dir;
  testing::CopyFixtures("xbase-golden", dir.path());
  const std::string fpt = dir.File("LogResponse.fpt");
  std::vector<uint8_t> memo = testing::ReadWholeFile(fpt);
  // Record 1 points at block 8: give it an absurd length; record 2's block lies past the end.
  memo[8 * 64 + 4] = 0x7F;
  testing::WriteWholeFile(fpt, memo);
  const std::string dbf = dir.File("LogResponse.dbf");
  std::vector<uint8_t> table = testing::ReadWholeFile(dbf);
  std::memcpy(&table[456 + 46 + 36], "    999999", 10);
  testing::WriteWholeFile(dbf, table);

  CODE4 code;
  ASSERT_EQ(code4initLow(&code, nullptr, 6502, 1615, 0), 0);
  DATA4* data = d4open(&code, dir.File("LogResponse").c_str());
  ASSERT_NE(data, nullptr);
  FIELD4* text = d4field(data, "RSP_TEXT");
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  ASSERT_EQ(ReadMemoPointer(reinterpret_cast<uint8_t*>(f4ptr(text)), 10), 8u);
  code4errorCode(&code, 0);
  EXPECT_STREQ(f4memoStr(text), "");
  EXPECT_EQ(f4memoLen(text), 0u);
  EXPECT_EQ(code4errorCode(&code, 0), kErrMemo);

  ASSERT_EQ(d4goLow(data, 2, 1), 0);
  EXPECT_STREQ(f4memoStr(text), "");
  EXPECT_EQ(code4errorCode(&code, 0), kErrMemo);
  code4initUndo(&code);
}

TEST(BadInputTest, NumericGarbageReadsAsZero) {
  struct Case {
    const char* text;
    double value;
    bool valid;
  };
  const Case kCases[] = {
      {"   12.25", 12.25, true}, {"   -3.50", -3.5, true}, {"        ", 0, true},
      {"+7      ", 7, true},     {"  12    ", 12, true},   {"********", 0, false},
      {"  1x2   ", 0, false},    {"  -     ", 0, false},   {"1.2.3   ", 0, false},
      {"  .5    ", 0.5, true},
  };
  for (const Case& c : kCases) {
    bool valid = false;
    EXPECT_EQ(ParseNumeric(reinterpret_cast<const uint8_t*>(c.text), 8, &valid), c.value) << c.text;
    EXPECT_EQ(valid, c.valid) << c.text;
  }
  const uint8_t garbage[] = {'9', '9', 'x', ' ', '1', 0, 0, 0, 0, 0};
  EXPECT_EQ(ReadMemoPointer(garbage, 10), 0u);
  const uint8_t too_big[] = {'9', '9', '9', '9', '9', '9', '9', '9', '9', '9'};
  EXPECT_EQ(ReadMemoPointer(too_big, 10), 0u);
}

}  // namespace
}  // namespace sdx::xbase
