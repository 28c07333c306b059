// The index calls over real production indexes: every tag of the golden files and of Visual
// FoxPro's own walks both ways through the engine in the listed order and seeks land where
// the listing says; tables created with tags keep them current and refuse duplicate keys.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/xbase/cdx_key.h"
#include "platform/xbase/engine_index_calls.h"
#include "platform/xbase/test_util.h"

namespace sdx::xbase {
namespace {

using testing::CopyFixtures;
using testing::FixtureDir;
using testing::TempDir;

nlohmann::json LoadListing(const std::string& set) {
  std::ifstream in(FixtureDir(set) + "/listing.json");
  return nlohmann::json::parse(in);
}

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

class EngineIndexTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(code4initLow(&code_, nullptr, 6502, 1615, 0), 0); }
  void TearDown() override { code4initUndo(&code_); }

  CODE4 code_;
  TempDir dir_;
};

std::vector<long> WalkForward(DATA4* data) {
  std::vector<long> records;
  for (int rc = d4top(data); rc == 0 && !d4eof(data); rc = d4skip(data, 1)) {
    records.push_back(d4recNoLow(data));
  }
  EXPECT_TRUE(d4eof(data));
  return records;
}

std::vector<long> WalkBackward(DATA4* data) {
  std::vector<long> records;
  int rc = d4bottom(data);
  while (rc == 0 && !d4eof(data) && !d4bof(data)) {
    records.insert(records.begin(), d4recNoLow(data));
    rc = d4skip(data, -1);
  }
  return records;
}

TEST_F(EngineIndexTest, GoldenTagsWalkAndSeekThroughTheEngine) {
  CopyFixtures("xbase-golden", dir_.path());
  const auto listing = LoadListing("xbase-golden");
  int tags_checked = 0;
  for (const auto& table : listing["tables"]) {
    const std::string dbf = table["files"]["dbf"];
    DATA4* data = d4open(&code_, dir_.File(dbf).c_str());
    ASSERT_NE(data, nullptr) << dbf;
    for (const auto& t : table["tags"]) {
      const std::string name = t["name"];
      SCOPED_TRACE(dbf + " " + name);
      TAG4* tag = d4tag(data, name.c_str());
      ASSERT_NE(tag, nullptr);
      d4tagSelect(data, tag);
      EXPECT_EQ(d4tagSelected(data), tag);
      std::vector<long> expected;
      std::vector<std::string> keys;
      for (const auto& k : t["keys"]) {
        expected.push_back(k["recno"]);
        keys.push_back(FromHex(k["key"]));
      }
      EXPECT_EQ(WalkForward(data), expected);
      EXPECT_EQ(WalkBackward(data), expected);
      // Seek each distinct key and follow its equal entries with the next-seek.
      for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0 && keys[i] == keys[i - 1]) continue;
        if (t["key_type"] == "C") {
          ASSERT_EQ(d4seek(data, keys[i].c_str()), 0);
          EXPECT_EQ(d4recNoLow(data), expected[i]);
          continue;
        }
        const double value = CdxKeyDouble(keys[i]);
        ASSERT_EQ(d4seekDouble(data, value), 0);
        EXPECT_EQ(d4recNoLow(data), expected[i]);
        size_t j = i + 1;
        for (; j < keys.size() && keys[j] == keys[i]; ++j) {
          ASSERT_EQ(d4seekNextDouble(data, value), 0);
          EXPECT_EQ(d4recNoLow(data), expected[j]);
        }
        EXPECT_NE(d4seekNextDouble(data, value), 0);
        if (j < keys.size()) {
          EXPECT_EQ(d4recNoLow(data), expected[j]);
        }
      }
      ++tags_checked;
    }
    d4tagSelect(data, nullptr);
    EXPECT_EQ(d4tagSelected(data), nullptr);
    EXPECT_EQ(d4top(data), 0);
    EXPECT_EQ(d4recNoLow(data), 1);
    EXPECT_EQ(d4close(data), 0);
  }
  EXPECT_EQ(tags_checked, 21);
}

TEST_F(EngineIndexTest, VisualFoxProTagsWalkThroughTheEngine) {
  CopyFixtures("vfp-northwind", dir_.path());
  const auto listing = LoadListing("vfp-northwind");
  int tags_checked = 0;
  for (const auto& [table_name, table] : listing["tables"].items()) {
    DATA4* data = d4open(&code_, dir_.File(table_name).c_str());
    ASSERT_NE(data, nullptr) << table_name;
    for (const auto& t : table["tags"]) {
      const std::string name = t["tag"];
      SCOPED_TRACE(table_name + " " + name);
      d4tagSelect(data, d4tag(data, name.c_str()));
      ASSERT_NE(d4tagSelected(data), nullptr);
      std::vector<long> expected;
      for (const auto& k : t["walk"]) expected.push_back(k[1]);
      EXPECT_EQ(WalkForward(data), expected);
      EXPECT_EQ(WalkBackward(data), expected);
      ++tags_checked;
    }
    EXPECT_EQ(d4close(data), 0);
  }
  EXPECT_EQ(tags_checked, 20);
}

const FIELD4INFO kFields[] = {
    {"ID", 'B', 8, 0, 0}, {"NAME", 'C', 12, 0, 0}, {"TIME", 'N', 11, 0, 0}, {nullptr, 0, 0, 0, 0}};
const TAG4INFO kTags[] = {
    {"T_ID", "ID", ".NOT. DELETED()", -340, 0},
    {"T_NAME", "UPPER(NAME)", nullptr, 0, 0},
    {"T_TIMED", "TIME", nullptr, 0, 10},
    {nullptr, nullptr, nullptr, 0, 0},
};

void Append(DATA4* data, double id, const char* name, long time) {
  ASSERT_EQ(d4appendStart(data, 0), 0);
  ASSERT_EQ(d4blank(data), 0);
  ASSERT_EQ(f4assignDouble(d4field(data, "ID"), id), 0);
  ASSERT_EQ(f4assign(d4field(data, "NAME"), name), 0);
  ASSERT_EQ(f4assignLong(d4field(data, "TIME"), time), 0);
  ASSERT_EQ(d4append(data), 0);
}

TEST_F(EngineIndexTest, CreatedTagsFollowAppendsChangesAndDeletions) {
  DATA4* data = d4create(&code_, dir_.File("t").c_str(), kFields, kTags);
  ASSERT_NE(data, nullptr);
  Append(data, 3, "carol", 100);
  Append(data, 1, "alice", 300);
  Append(data, 2, "bob", 100);
  d4tagSelect(data, d4tag(data, "t_id"));
  EXPECT_EQ(WalkForward(data), (std::vector<long>{2, 3, 1}));
  d4tagSelect(data, d4tag(data, "T_TIMED"));
  EXPECT_EQ(WalkForward(data), (std::vector<long>{2, 3, 1})) << "equal keys in descending order";
  EXPECT_EQ(WalkBackward(data), (std::vector<long>{2, 3, 1}));
  EXPECT_EQ(d4seekDouble(data, 100), 0);
  EXPECT_EQ(d4recNoLow(data), 3);
  EXPECT_EQ(d4seekNextDouble(data, 100), 0);
  EXPECT_EQ(d4recNoLow(data), 1);
  EXPECT_NE(d4seekNextDouble(data, 100), 0);
  EXPECT_EQ(d4seekDouble(data, 200), r4after);
  EXPECT_EQ(d4recNoLow(data), 3) << "the next key in descending order";

  // A changed key moves the record; a duplicate unique key is refused and changes nothing.
  d4tagSelect(data, d4tag(data, "T_NAME"));
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  ASSERT_EQ(f4assign(d4field(data, "NAME"), "aaron"), 0);
  ASSERT_EQ(d4flush(data), 0);
  EXPECT_EQ(WalkForward(data), (std::vector<long>{1, 2, 3}));
  ASSERT_EQ(d4seek(data, "BOB"), 0);
  EXPECT_EQ(d4recNoLow(data), 3);
  ASSERT_EQ(d4goLow(data, 3, 1), 0);
  ASSERT_EQ(f4assignDouble(d4field(data, "ID"), 1), 0);
  EXPECT_EQ(d4flush(data), -340);
  ASSERT_EQ(d4goLow(data, 3, 1), 0);
  EXPECT_EQ(f4double(d4field(data, "ID")), 2);
  ASSERT_EQ(d4appendStart(data, 0), 0);
  ASSERT_EQ(d4blank(data), 0);
  ASSERT_EQ(f4assignDouble(d4field(data, "ID"), 3), 0);
  EXPECT_EQ(d4append(data), -340);
  EXPECT_EQ(_d4recCountDo2(data, 0), 3);

  // Deleting a record takes it out of the FOR ".NOT. DELETED()" tag, and frees its key.
  d4tagSelect(data, d4tag(data, "T_ID"));
  ASSERT_EQ(d4goLow(data, 2, 1), 0);
  ASSERT_EQ(d4delete(data), 0);
  ASSERT_EQ(d4flush(data), 0);
  EXPECT_EQ(WalkForward(data), (std::vector<long>{3, 1}));
  Append(data, 1, "again", 5);
  EXPECT_EQ(WalkForward(data), (std::vector<long>{4, 3, 1}));
  ASSERT_EQ(d4close(data), 0);

  // Reopened, the index comes with the table; a reindex gives the same orders.
  data = d4open(&code_, dir_.File("t").c_str());
  ASSERT_NE(data, nullptr);
  d4tagSelect(data, d4tag(data, "T_ID"));
  EXPECT_EQ(d4reindex(data), 0);
  EXPECT_NE(d4tagSelected(data), nullptr);
  EXPECT_EQ(WalkForward(data), (std::vector<long>{4, 3, 1}));
  d4tagSelect(data, d4tag(data, "T_NAME"));
  EXPECT_EQ(WalkForward(data), (std::vector<long>{1, 4, 2, 3}));
  EXPECT_EQ(d4tag(data, "NO_SUCH"), nullptr);
  ASSERT_EQ(d4close(data), 0);
}

TEST_F(EngineIndexTest, IndexIsFoundInAnyLetterCaseAndRequiredWhenTheTableNamesOne) {
  DATA4* data = d4create(&code_, dir_.File("t").c_str(), kFields, kTags);
  ASSERT_NE(data, nullptr);
  Append(data, 5, "eve", 1);
  ASSERT_EQ(d4close(data), 0);
  std::filesystem::rename(dir_.File("t.cdx"), dir_.File("T.CDX"));
  data = d4open(&code_, dir_.File("t").c_str());
  ASSERT_NE(data, nullptr);
  d4tagSelect(data, d4tag(data, "T_ID"));
  EXPECT_EQ(d4seekDouble(data, 5), 0);
  EXPECT_EQ(d4seek(data, "5"), 0) << "a numeric tag reads the text as a number";
  d4tagSelect(data, d4tag(data, "T_NAME"));
  EXPECT_LT(d4seekDouble(data, 5), 0) << "a character tag has no numeric keys";
  ASSERT_EQ(d4close(data), 0);
  std::filesystem::remove(dir_.File("T.CDX"));
  EXPECT_EQ(d4open(&code_, dir_.File("t").c_str()), nullptr);
  EXPECT_NE(code4errorCode(&code_, 0), 0);
}

TEST_F(EngineIndexTest, BadTagExpressionCreatesNothing) {
  const TAG4INFO bad[] = {{"T_X", "NO_FIELD", nullptr, 0, 0}, {nullptr, nullptr, nullptr, 0, 0}};
  EXPECT_EQ(d4create(&code_, dir_.File("bad").c_str(), kFields, bad), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("bad.dbf")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("bad.cdx")));
}

// Reads come from a mapping of each file; another program cutting the files short under an
// open table must give errors, not a fault, and the table must work again once they are back.
TEST_F(EngineIndexTest, FilesCutShortUnderAnOpenTableGiveErrorsNotFaults) {
  DATA4* data = d4create(&code_, dir_.File("t").c_str(), kFields, kTags);
  ASSERT_NE(data, nullptr);
  for (int i = 1; i <= 3000; ++i) Append(data, i, "name", i);
  d4tagSelect(data, d4tag(data, "T_ID"));
  ASSERT_EQ(d4seekDouble(data, 1500), 0);
  const auto dbf_size = std::filesystem::file_size(dir_.File("t.dbf"));
  const auto cdx_size = std::filesystem::file_size(dir_.File("t.cdx"));
  const auto dbf_bytes = testing::ReadWholeFile(dir_.File("t.dbf"));
  const auto cdx_bytes = testing::ReadWholeFile(dir_.File("t.cdx"));
  std::filesystem::resize_file(dir_.File("t.dbf"), 200);
  std::filesystem::resize_file(dir_.File("t.cdx"), 600);
  EXPECT_NE(d4seekDouble(data, 2900), 0);
  EXPECT_NE(d4goLow(data, 2000, 0), 0);
  d4tagSelect(data, d4tag(data, "T_NAME"));
  EXPECT_NE(d4top(data), 0);
  code4errorCode(&code_, 0);

  testing::WriteWholeFile(dir_.File("t.dbf"), dbf_bytes);
  testing::WriteWholeFile(dir_.File("t.cdx"), cdx_bytes);
  ASSERT_EQ(std::filesystem::file_size(dir_.File("t.dbf")), dbf_size);
  ASSERT_EQ(std::filesystem::file_size(dir_.File("t.cdx")), cdx_size);
  d4tagSelect(data, d4tag(data, "T_ID"));
  EXPECT_EQ(d4seekDouble(data, 2900), 0);
  EXPECT_EQ(d4recNoLow(data), 2900);
  EXPECT_EQ(d4close(data), 0);
}

}  // namespace
}  // namespace sdx::xbase
