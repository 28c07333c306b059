// Tables made and changed through the engine calls: creation from a field list, appends,
// in-place changes under lock enforcement, memos, navigation and the header bytes kept right.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "platform/xbase/data4.h"
#include "platform/xbase/dbf_header.h"
#include "platform/xbase/test_util.h"

namespace sdx::xbase {
namespace {

using testing::TempDir;

const FIELD4INFO kResponseFields[] = {
    {"LOG_ID", 'B', 8, 0, 0}, {"RSP_TIME", 'N', 11, 0, 0}, {"RSP_TEXT", 'M', 10, 0, 0},
    {"ACTIVE", 'L', 1, 0, 0}, {"NAME", 'C', 20, 0, 0},     {"TEXT", 'C', 511, 0, 0},
    {"AMOUNT", 'N', 8, 2, 0}, {nullptr, 0, 0, 0, 0},
};

class EngineTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(code4initLow(&code_, nullptr, 6502, 1615, 0), 0);
    code4lockEnforceSet(&code_, 1);
  }
  void TearDown() override { code4initUndo(&code_); }

  DATA4* Create(const std::string& name) {
    return d4create(&code_, dir_.File(name).c_str(), kResponseFields, nullptr);
  }

  // Appends one row with every field set.
  void AppendRow(DATA4* data, double id, const std::string& memo) {
    ASSERT_EQ(d4appendStart(data, 0), 0);
    ASSERT_EQ(d4blank(data), 0);
    EXPECT_EQ(d4recNoLow(data), 0);
    ASSERT_EQ(f4assignDouble(d4field(data, "LOG_ID"), id), 0);
    ASSERT_EQ(f4assignLong(d4field(data, "RSP_TIME"), 1700000000 + static_cast<long>(id)), 0);
    ASSERT_EQ(f4memoAssign(d4field(data, "RSP_TEXT"), memo.c_str()), 0);
    ASSERT_EQ(f4assignChar(d4field(data, "ACTIVE"), 'T'), 0);
    ASSERT_EQ(f4assign(d4field(data, "NAME"), "row"), 0);
    ASSERT_EQ(f4assignDouble(d4field(data, "AMOUNT"), id / 4), 0);
    ASSERT_EQ(d4append(data), 0);
  }

  CODE4 code_;
  TempDir dir_;
};

TEST_F(EngineTableTest, CreatedTableHasTheVisualFoxProLayout) {
  DATA4* data = Create("LogResponse");
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(d4close(data), 0);
  const std::vector<uint8_t> bytes = testing::ReadWholeFile(dir_.File("LogResponse.dbf"));
  DbfHeader header;
  ASSERT_TRUE(ParseDbfHeader(bytes.data(), bytes.size(), bytes.size(), &header).ok());
  EXPECT_EQ(header.version(), 0x30);
  EXPECT_EQ(header.record_count(), 0u);
  EXPECT_EQ(header.header_length(), 32 + 32 * 7 + 1 + 263);
  EXPECT_EQ(header.table_flags(), kFlagMemo);
  EXPECT_EQ(header.code_page(), 0x03);
  EXPECT_EQ(bytes.size(), header.header_length() + 1u);
  EXPECT_EQ(bytes.back(), 0x1A);
  // A memo asked for 10 wide is a 4-byte binary pointer; a 511-wide C keeps its high byte in
  // the decimals byte.
  EXPECT_EQ(header.fields[2].width, 4u);
  EXPECT_EQ(bytes[32 + 2 * 32 + 16], 4);
  EXPECT_EQ(header.fields[5].width, 511u);
  EXPECT_EQ(bytes[32 + 5 * 32 + 16], 0xFF);
  EXPECT_EQ(bytes[32 + 5 * 32 + 17], 0x01);
  EXPECT_EQ(header.record_length(), 1 + 8 + 11 + 4 + 1 + 20 + 511 + 8);
  const std::vector<uint8_t> memo = testing::ReadWholeFile(dir_.File("LogResponse.fpt"));
  ASSERT_EQ(memo.size(), 512u);
  EXPECT_EQ(memo[3], 8);   // next free block
  EXPECT_EQ(memo[7], 64);  // block size
}

TEST_F(EngineTableTest, AppendedRowsReadBackAfterReopening) {
  DATA4* data = Create("t");
  ASSERT_NE(data, nullptr);
  const std::string long_memo(5000, 'x');
  AppendRow(data, 1, "first");
  AppendRow(data, 2, "");
  AppendRow(data, 3, long_memo);
  EXPECT_EQ(d4recNoLow(data), 3);
  ASSERT_EQ(d4close(data), 0);

  data = d4open(&code_, dir_.File("t").c_str());
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(_d4recCountDo2(data, 0), 3);
  const std::string memos[] = {"first", "", long_memo};
  long record = 0;
  for (int rc = d4top(data); rc == 0; rc = d4skip(data, 1)) {
    ++record;
    EXPECT_EQ(f4double(d4field(data, "LOG_ID")), record);
    EXPECT_EQ(f4long(d4field(data, "RSP_TIME")), 1700000000 + record);
    EXPECT_EQ(std::string(f4memoStr(d4field(data, "RSP_TEXT"))), memos[record - 1]);
    EXPECT_EQ(f4memoLen(d4field(data, "RSP_TEXT")), memos[record - 1].size());
    EXPECT_TRUE(f4true(d4field(data, "ACTIVE")));
    EXPECT_EQ(std::string(f4str(d4field(data, "NAME"))), "row" + std::string(17, ' '));
    EXPECT_EQ(f4double(d4field(data, "AMOUNT")), std::round(record * 25.0) / 100);
  }
  EXPECT_EQ(record, 3);
  ASSERT_EQ(d4close(data), 0);
  // An empty memo is pointer 0, not an empty block.
  const std::vector<uint8_t> bytes = testing::ReadWholeFile(dir_.File("t.dbf"));
  DbfHeader header;
  ASSERT_TRUE(ParseDbfHeader(bytes.data(), bytes.size(), bytes.size(), &header).ok());
  const size_t second = header.header_length() + header.record_length();
  EXPECT_EQ(std::memcmp(&bytes[second + header.fields[2].offset], "\0\0\0\0", 4), 0);
  EXPECT_EQ(bytes.size(), header.header_length() + 3u * header.record_length() + 1);
  EXPECT_EQ(bytes.back(), 0x1A);
}

TEST_F(EngineTableTest, EnforcementRefusesUnlockedChangesAndWritesNothing) {
  DATA4* data = Create("t");
  ASSERT_NE(data, nullptr);
  AppendRow(data, 7, "memo");
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  FIELD4* id = d4field(data, "LOG_ID");
  FIELD4* memo = d4field(data, "RSP_TEXT");
  EXPECT_EQ(f4assignDouble(id, 8), -50);
  EXPECT_EQ(f4memoAssign(memo, "changed"), -50);
  EXPECT_EQ(f4assign(d4field(data, "NAME"), "x"), -50);
  EXPECT_EQ(d4delete(data), -50);
  EXPECT_EQ(d4changed(data, -1), 0);
  EXPECT_EQ(f4double(id), 7);
  ASSERT_EQ(d4unlock(data), 0);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  EXPECT_EQ(f4double(id), 7);
  EXPECT_STREQ(f4memoStr(memo), "memo");

  // Locked, the same changes land, and d4unlock writes them.
  ASSERT_EQ(d4lockInternal(data, 1, 1, 1), 0);
  EXPECT_EQ(d4lockTest(data, 1), 1);
  ASSERT_EQ(f4assignDouble(id, 8), 0);
  ASSERT_EQ(f4memoAssign(memo, "changed"), 0);
  EXPECT_EQ(d4changed(data, -1), 1);
  ASSERT_EQ(d4unlock(data), 0);
  EXPECT_EQ(d4lockTest(data, 1), 0);
  ASSERT_EQ(d4top(data), 0);
  EXPECT_EQ(f4double(id), 8);
  EXPECT_STREQ(f4memoStr(memo), "changed");

  // Without enforcement an unlocked change is allowed.
  EXPECT_EQ(code4lockEnforceSet(&code_, 0), 1);
  EXPECT_EQ(f4assignDouble(id, 9), 0);
  ASSERT_EQ(d4flush(data), 0);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  EXPECT_EQ(f4double(id), 9);
}

TEST_F(EngineTableTest, NavigationStopsAtBothEnds) {
  DATA4* data = Create("t");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(d4top(data), r4eof);
  EXPECT_TRUE(d4eof(data));
  EXPECT_TRUE(d4bof(data));
  EXPECT_EQ(d4bottom(data), r4eof);
  for (int i = 1; i <= 3; ++i) AppendRow(data, i, "");
  EXPECT_EQ(d4top(data), 0);
  EXPECT_FALSE(d4eof(data));
  EXPECT_EQ(d4skip(data, -1), r4bof);
  EXPECT_TRUE(d4bof(data));
  EXPECT_EQ(d4recNoLow(data), 1);
  EXPECT_EQ(d4bottom(data), 0);
  EXPECT_EQ(d4recNoLow(data), 3);
  EXPECT_EQ(d4skip(data, 1), r4eof);
  EXPECT_TRUE(d4eof(data));
  EXPECT_EQ(d4recNoLow(data), 4);
  EXPECT_EQ(d4skip(data, -1), 0);
  EXPECT_EQ(d4recNoLow(data), 3);
  EXPECT_EQ(d4goLow(data, 4, 1), r4entry);
  EXPECT_EQ(d4goLow(data, 0, 1), r4entry);
  EXPECT_EQ(d4goLow(data, 2, 1), 0);
  EXPECT_EQ(f4double(d4field(data, "LOG_ID")), 2);
}

TEST_F(EngineTableTest, DeletionFlagIsStoredAndRecalled) {
  DATA4* data = Create("t");
  ASSERT_NE(data, nullptr);
  AppendRow(data, 1, "");
  ASSERT_EQ(d4lockInternal(data, 1, 1, 1), 0);
  ASSERT_EQ(d4delete(data), 0);
  ASSERT_EQ(d4unlock(data), 0);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  EXPECT_TRUE(d4deleted(data));
  ASSERT_EQ(d4lockInternal(data, 1, 1, 1), 0);
  ASSERT_EQ(d4recall(data), 0);
  ASSERT_EQ(d4unlock(data), 0);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  EXPECT_FALSE(d4deleted(data));
}

TEST_F(EngineTableTest, OpensByCaseInsensitiveNameWithItsMemoFile) {
  DATA4* data = Create("t");
  ASSERT_NE(data, nullptr);
  AppendRow(data, 1, "memo text");
  ASSERT_EQ(d4close(data), 0);
  std::filesystem::rename(dir_.File("t.dbf"), dir_.File("LOGRESP.DBF"));
  std::filesystem::rename(dir_.File("t.fpt"), dir_.File("LOGRESP.FPT"));
  data = d4open(&code_, dir_.File("LogResp").c_str());
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(d4top(data), 0);
  EXPECT_STREQ(f4memoStr(d4field(data, "rsp_text")), "memo text");
  EXPECT_EQ(d4open(&code_, dir_.File("missing").c_str()), nullptr);
}

TEST_F(EngineTableTest, HeaderBytesOfOtherProgramsArePreserved) {
  DATA4* data = Create("t");
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(d4close(data), 0);
  std::vector<uint8_t> bytes = testing::ReadWholeFile(dir_.File("t.dbf"));
  for (int i = 12; i < 28; ++i) bytes[i] = static_cast<uint8_t>(i);
  bytes[28] |= 0x04;
  bytes[29] = 0xC9;
  testing::WriteWholeFile(dir_.File("t.dbf"), bytes);

  data = d4open(&code_, dir_.File("t").c_str());
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(d4versionStamp(data), 0x0F0E0D0C);
  AppendRow(data, 1, "x");
  ASSERT_EQ(d4lockInternal(data, 1, 1, 1), 0);
  ASSERT_EQ(f4assignDouble(d4field(data, "LOG_ID"), 5), 0);
  ASSERT_EQ(d4unlock(data), 0);
  ASSERT_EQ(d4versionStampSet(data, 4), 0);
  ASSERT_EQ(d4close(data), 0);
  const std::vector<uint8_t> after = testing::ReadWholeFile(dir_.File("t.dbf"));
  EXPECT_EQ(after[4], 1);
  EXPECT_EQ(after[12], 4);
  for (int i = 13; i < 16; ++i) EXPECT_EQ(after[i], 0) << i;
  for (int i = 16; i < 28; ++i) EXPECT_EQ(after[i], i) << i;
  EXPECT_EQ(after[28], bytes[28]);
  EXPECT_EQ(after[29], 0xC9);
}

TEST_F(EngineTableTest, NumericAssignmentsThatDoNotFitAreRefused) {
  DATA4* data = Create("t");
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(d4appendStart(data, 0), 0);
  ASSERT_EQ(d4blank(data), 0);
  FIELD4* time = d4field(data, "RSP_TIME");
  ASSERT_EQ(f4assignLong(time, -1234567890), 0);
  EXPECT_EQ(std::string(f4ptr(time), 11), "-1234567890");
  EXPECT_LT(f4assignDouble(time, 1e12), 0);
  EXPECT_EQ(std::string(f4ptr(time), 11), "-1234567890");
  FIELD4* amount = d4field(data, "AMOUNT");
  ASSERT_EQ(f4assignDouble(amount, -3.5), 0);
  EXPECT_EQ(std::string(f4ptr(amount), 8), "   -3.50");
  ASSERT_EQ(f4assignDouble(amount, -0.001), 0);
  EXPECT_EQ(std::string(f4ptr(amount), 8), "    0.00");
  EXPECT_LT(f4assignLong(amount, 123456789), 0);
}

TEST_F(EngineTableTest, ContextCallsFollowTheirConventions) {
  CODE4 other;
  EXPECT_EQ(code4initLow(&other, nullptr, 6501, 1615, 0), e4struct);
  EXPECT_EQ(d4open(&other, "x"), nullptr);
  char buffer[8];
  c4ltoa45(42, buffer, 5);
  EXPECT_EQ(std::string(buffer, 5), "   42");
  c4ltoa45(-42, buffer, 5);
  EXPECT_EQ(std::string(buffer, 5), "  -42");
  c4ltoa45(123456, buffer, 5);
  EXPECT_EQ(std::string(buffer, 5), "*****");
  void* block = u4allocDefault(16);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(static_cast<char*>(block)[15], 0);
  u4freeDefault(block);
  EXPECT_EQ(error4default(&code_, -935, 1), -935);
  EXPECT_EQ(code4errorCode(&code_, 0), -935);

  Data4 table(Create("t"));
  ASSERT_TRUE(table.isValid());
  Field4 id(table, "LOG_ID");
  Field4 missing(table, "NOPE");
  EXPECT_TRUE(id.isValid());
  EXPECT_FALSE(missing.isValid());
  EXPECT_EQ(f4type(id.field()), 'B');
  EXPECT_EQ(code4close(&code_), 0);
}

}  // namespace
}  // namespace sdx::xbase

namespace sdx::xbase {
namespace {

TEST(EngineVersionsTest, FoxProTwoAndDbaseTablesOpen) {
  TempDir dir;
  testing::CopyFixtures("xbase-golden", dir.path());
  CODE4 code;
  ASSERT_EQ(code4initLow(&code, nullptr, 6502, 1615, 0), 0);
  struct Case {
    const char* table;
    uint8_t version;
    bool keep_memo;
    const char* first_memo;
  };
  const Case kCases[] = {
      {"LogResponse", 0xF5, true, "Acknowledged"},
      {"Devices", 0x03, true, nullptr},
      {"LogResponse", 0x83, false, ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.version);
    const std::string path = dir.File(std::string(c.table) + ".dbf");
    std::vector<uint8_t> bytes = testing::ReadWholeFile(path);
    bytes[0] = c.version;
    testing::WriteWholeFile(path, bytes);
    if (!c.keep_memo) std::filesystem::remove(dir.File(std::string(c.table) + ".fpt"));
    DATA4* data = d4open(&code, path.c_str());
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(d4top(data), 0);
    EXPECT_GT(_d4recCountDo2(data, 0), 10);
    if (c.first_memo != nullptr) {
      EXPECT_STREQ(f4memoStr(d4field(data, "RSP_TEXT")), c.first_memo);
    }
    d4close(data);
  }
  code4initUndo(&code);
}

TEST(EngineNullsTest, NullableFieldsGetTheHiddenFlagsField) {
  TempDir dir;
  CODE4 code;
  ASSERT_EQ(code4initLow(&code, nullptr, 6502, 1615, 0), 0);
  const FIELD4INFO fields[] = {
      {"A", 'N', 5, 0, 1}, {"B", 'C', 4, 0, 0}, {"C", 'B', 8, 0, 1}, {nullptr, 0, 0, 0, 0}};
  DATA4* data = d4create(&code, dir.File("n").c_str(), fields, nullptr);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(d4numFields(data), 4);
  FIELD4* flags = d4fieldJ(data, 4);
  EXPECT_STREQ(f4name(flags), "_NullFlags");
  EXPECT_EQ(f4type(flags), '0');
  ASSERT_EQ(d4appendStart(data, 0), 0);
  ASSERT_EQ(d4blank(data), 0);
  f4ptr(flags)[0] = 0x03;  // both nullable fields null
  EXPECT_TRUE(f4null(d4field(data, "A")));
  EXPECT_TRUE(f4null(d4field(data, "C")));
  EXPECT_FALSE(f4null(d4field(data, "B")));
  ASSERT_EQ(f4assignNotNull(d4field(data, "C")), 0);
  EXPECT_EQ(f4ptr(flags)[0], 0x01);
  ASSERT_EQ(d4append(data), 0);
  code4initUndo(&code);
}

// One context, several threads, each on a table of its own, opening and closing as they go.
TEST(EngineThreadsTest, DifferentTablesMayBeUsedFromDifferentThreads) {
  TempDir dir;
  CODE4 code;
  ASSERT_EQ(code4initLow(&code, nullptr, 6502, 1615, 0), 0);
  code4lockEnforceSet(&code, 1);
  const FIELD4INFO fields[] = {
      {"ID", 'B', 8, 0, 0}, {"NOTE", 'M', 10, 0, 0}, {nullptr, 0, 0, 0, 0}};
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const std::string name = dir.File("t" + std::to_string(t));
      DATA4* data = d4create(&code, name.c_str(), fields, nullptr);
      if (data == nullptr) {
        ++failures;
        return;
      }
      for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 10; ++i) {
          if (d4appendStart(data, 0) != 0 || d4blank(data) != 0 ||
              f4assignDouble(d4field(data, "ID"), t * 1000 + round * 10 + i) != 0 ||
              f4memoAssign(d4field(data, "NOTE"), "note") != 0 || d4append(data) != 0) {
            ++failures;
          }
        }
        if (d4close(data) != 0) ++failures;
        data = d4open(&code, name.c_str());
        if (data == nullptr || _d4recCountDo2(data, 0) != (round + 1) * 10) {
          ++failures;
          return;
        }
      }
      d4close(data);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  code4initUndo(&code);
}

}  // namespace
}  // namespace sdx::xbase

namespace sdx::xbase {
namespace {

// A walk both ways over wide records sees at once what another handle appends and changes
// ahead of it: records come from the file as it stands, never from an older copy.
TEST(EngineWalkTest, WalksBothWaysSeeingAnotherHandlesWrites) {
  TempDir dir;
  CODE4 code;
  ASSERT_EQ(code4initLow(&code, nullptr, 6502, 1615, 0), 0);
  const FIELD4INFO fields[] = {
      {"ID", 'N', 10, 0, 0}, {"PAD", 'C', 1000, 0, 0}, {nullptr, 0, 0, 0, 0}};
  DATA4* data = d4create(&code, dir.File("w").c_str(), fields, nullptr);
  ASSERT_NE(data, nullptr);
  constexpr long kRows = 300;
  for (long i = 1; i <= kRows; ++i) {
    ASSERT_EQ(d4appendStart(data, 0), 0);
    ASSERT_EQ(d4blank(data), 0);
    ASSERT_EQ(f4assignLong(d4field(data, "ID"), i), 0);
    ASSERT_EQ(d4append(data), 0);
  }
  DATA4* other = d4open(&code, dir.File("w").c_str());
  ASSERT_NE(other, nullptr);
  FIELD4* id = d4field(data, "ID");
  long expected = 0;
  for (int rc = d4top(data); rc == 0; rc = d4skip(data, 1)) {
    ASSERT_EQ(f4long(id), ++expected);
    ASSERT_EQ(d4recNoLow(data), expected);
    if (expected == 10) {
      // Another handle appends, and changes a record the walk has not reached.
      ASSERT_EQ(d4appendStart(other, 0), 0);
      ASSERT_EQ(d4blank(other), 0);
      ASSERT_EQ(f4assignLong(d4field(other, "ID"), kRows + 1), 0);
      ASSERT_EQ(d4append(other), 0);
      ASSERT_EQ(d4goLow(other, 12, 1), 0);
      ASSERT_EQ(f4assignLong(d4field(other, "ID"), -12), 0);
      ASSERT_EQ(d4flush(other), 0);
    }
    if (expected == 11) {
      ASSERT_EQ(d4skip(data, 1), 0);
      ASSERT_EQ(f4long(id), -12);
      ASSERT_EQ(d4skip(data, -1), 0);
      ASSERT_EQ(f4assignLong(d4field(other, "ID"), 12), 0);
      ASSERT_EQ(d4flush(other), 0);
    }
  }
  EXPECT_EQ(expected, kRows + 1);
  for (int rc = d4bottom(data); rc == 0; rc = d4skip(data, -1)) {
    ASSERT_EQ(f4long(id), expected--);
  }
  EXPECT_EQ(expected, 0);
  EXPECT_TRUE(d4bof(data));  // and stayed on record 1
  EXPECT_EQ(d4recNoLow(data), 1);
  code4initUndo(&code);
}

}  // namespace
}  // namespace sdx::xbase
