// Thousands of random appends, changes, deletions, recalls and reindexes through the engine
// calls against a model in memory: after every batch each tag walks in the model's order, the
// index passes the full check, and refused duplicate keys changed nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/xbase/cdx_key.h"
#include "platform/xbase/engine_index_calls.h"
#include "platform/xbase/engine_types.h"
#include "platform/xbase/production_index.h"
#include "platform/xbase/test_util.h"

namespace sdx::xbase {
namespace {

const FIELD4INFO kFields[] = {
    {"ID", 'B', 8, 0, 0}, {"NAME", 'C', 6, 0, 0}, {"TIME", 'N', 6, 0, 0}, {nullptr, 0, 0, 0, 0}};
const TAG4INFO kTags[] = {
    {"T_ID", "ID", ".NOT. DELETED()", -340, 0},
    {"T_NAME", "UPPER(NAME)", nullptr, 0, 0},
    {"T_TIMED", "TIME", nullptr, 0, 10},
    {"T_HIGH", "TIME", "TIME >= 500", 0, 0},
    {"T_DUP", "LTRIM(STR(ID,8,0)) + ':' + LTRIM(STR(TIME,11,0))", nullptr, 0, 10},
    {nullptr, nullptr, nullptr, 0, 0},
};

struct Row {
  double id = 0;
  std::string name;
  long time = 0;
  bool deleted = false;
};

class Model {
 public:
  std::vector<Row> rows;  // record n is rows[n - 1]

  // Whether a live row other than `except` (1-based, 0 none) has `id`.
  bool IdTaken(double id, size_t except) const {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (i + 1 != except && !rows[i].deleted && rows[i].id == id) return true;
    }
    return false;
  }

  // The record numbers of a tag in its order, for the tags the model can key.
  std::vector<long> Order(const std::string& tag) const {
    std::vector<std::pair<std::string, long>> entries;
    for (size_t i = 0; i < rows.size(); ++i) {
      const Row& r = rows[i];
      std::string key;
      if (tag == "T_ID") {
        if (r.deleted) continue;
        key = CdxDoubleKey(r.id);
      } else if (tag == "T_NAME") {
        std::string upper = r.name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        key = CdxCharacterKey(upper, 6);
      } else {
        if (tag == "T_HIGH" && r.time < 500) continue;
        key = CdxDoubleKey(static_cast<double>(r.time));
      }
      entries.emplace_back(key, static_cast<long>(i + 1));
    }
    std::sort(entries.begin(), entries.end());
    std::vector<long> order;
    for (const auto& e : entries) order.push_back(e.second);
    if (tag == "T_TIMED") std::reverse(order.begin(), order.end());
    return order;
  }
};

class EngineIndexRandomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(code4initLow(&code_, nullptr, 6502, 1615, 0), 0);
    code4lockEnforceSet(&code_, 1);
    data_ = d4create(&code_, dir_.File("random").c_str(), kFields, kTags);
    ASSERT_NE(data_, nullptr);
    id_ = d4field(data_, "ID");
    name_ = d4field(data_, "NAME");
    time_ = d4field(data_, "TIME");
  }
  void TearDown() override { code4initUndo(&code_); }

  std::string RandomName() {
    static const char* kNames[] = {"ann", "Bob", "carl", "ANN", "dora", "Eve", "fred", ""};
    return kNames[random_() % 8];
  }

  void Assign(const Row& row) {
    ASSERT_EQ(f4assignDouble(id_, row.id), 0);
    ASSERT_EQ(f4assign(name_, row.name.c_str()), 0);
    ASSERT_EQ(f4assignLong(time_, row.time), 0);
  }

  void Append() {
    Row row{static_cast<double>(random_() % 80), RandomName(), static_cast<long>(random_() % 1000)};
    ASSERT_EQ(d4appendStart(data_, 0), 0);
    ASSERT_EQ(d4blank(data_), 0);
    Assign(row);
    const int rc = d4append(data_);
    if (model_.IdTaken(row.id, 0)) {
      EXPECT_EQ(rc, -340);
    } else {
      ASSERT_EQ(rc, 0);
      model_.rows.push_back(row);
    }
  }

  // Changes, deletes or recalls a random record under its lock.
  void Change() {
    if (model_.rows.empty()) return;
    const size_t record = 1 + random_() % model_.rows.size();
    ASSERT_EQ(d4goLow(data_, static_cast<long>(record), 1), 0);
    ASSERT_EQ(d4lockInternal(data_, record, 1, 1), 0);
    Row row = model_.rows[record - 1];
    switch (random_() % 3) {
      case 0:
        row.id = static_cast<double>(random_() % 80);
        row.time = static_cast<long>(random_() % 1000);
        Assign(row);
        break;
      case 1:
        row.name = RandomName();
        Assign(row);
        break;
      default:
        row.deleted = !row.deleted;
        ASSERT_EQ(row.deleted ? d4delete(data_) : d4recall(data_), 0);
        break;
    }
    const int rc = d4unlock(data_);
    if (!row.deleted && model_.IdTaken(row.id, record)) {
      EXPECT_EQ(rc, -340);
    } else {
      ASSERT_EQ(rc, 0);
      model_.rows[record - 1] = row;
    }
  }

  void CheckAgainstModel() {
    ASSERT_EQ(_d4recCountDo2(data_, 0), static_cast<long>(model_.rows.size()));
    d4tagSelect(data_, nullptr);
    for (size_t i = 0; i < model_.rows.size(); ++i) {
      ASSERT_EQ(d4goLow(data_, static_cast<long>(i + 1), 1), 0);
      ASSERT_EQ(f4double(id_), model_.rows[i].id) << "record " << i + 1;
      ASSERT_EQ(f4long(time_), model_.rows[i].time) << "record " << i + 1;
      ASSERT_EQ(d4deleted(data_) != 0, model_.rows[i].deleted) << "record " << i + 1;
    }
    for (const char* tag : {"T_ID", "T_NAME", "T_TIMED", "T_HIGH"}) {
      d4tagSelect(data_, d4tag(data_, tag));
      std::vector<long> walked;
      for (int rc = d4top(data_); rc == 0 && !d4eof(data_); rc = d4skip(data_, 1)) {
        walked.push_back(d4recNoLow(data_));
      }
      ASSERT_EQ(walked, model_.Order(tag)) << tag;
    }
    auto* index = dynamic_cast<ProductionIndex*>(data_->index.get());
    ASSERT_NE(index, nullptr);
    Status s = index->CheckStructure();
    ASSERT_TRUE(s.ok()) << s.message();
    for (const auto& tag : index->tags()) {
      std::vector<std::string> notes;
      s = index->CheckTag(*tag, &notes, nullptr);
      ASSERT_TRUE(s.ok()) << tag->tag->name() << ": " << s.message();
      EXPECT_TRUE(notes.empty()) << tag->tag->name() << ": " << notes.front();
    }
  }

  CODE4 code_;
  testing::TempDir dir_;
  DATA4* data_ = nullptr;
  FIELD4* id_ = nullptr;
  FIELD4* name_ = nullptr;
  FIELD4* time_ = nullptr;
  Model model_;
  std::mt19937 random_{20261211};
};

TEST_F(EngineIndexRandomTest, TagsFollowTheModelThroughThousandsOfChanges) {
  for (int batch = 0; batch < 60; ++batch) {
    for (int step = 0; step < 60; ++step) {
      const unsigned choice = random_() % 10;
      if (choice < 4) {
        Append();
      } else {
        Change();
      }
      if (HasFatalFailure()) return;
    }
    if (batch % 10 == 9) {
      ASSERT_EQ(d4reindex(data_), 0);
    }
    CheckAgainstModel();
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace sdx::xbase
