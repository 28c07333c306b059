// A second process inserts and removes index entries in batches while this one counts, walks
// and seeks the same tag: every answer must be one the writer's batches could have left.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <set>
#include <string>

#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_tag.h"
#include "platform/xbase/cdx_test_util.h"

namespace sdx::xbase {
namespace {

using testing::TempDir;

// Every entry carries a key that follows from its record number, and the writer adds and
// removes records in pairs (r, r + kPair) inside one batch, so a reader that ever sees an odd
// count or a key that does not match its record has seen half a batch.
constexpr uint32_t kPair = 1000000;
constexpr int kBatches = 1500;

std::string KeyOf(uint32_t recno) { return CdxDoubleKey((recno % kPair) * 2.5 + recno / kPair); }

std::set<uint32_t> WriterModel() {
  std::set<uint32_t> present;
  std::mt19937 rng(99);
  std::uniform_int_distribution<uint32_t> pick(1, 4000);
  for (int batch = 0; batch < kBatches; ++batch) {
    for (int i = 0; i < 3; ++i) {
      const uint32_t r = pick(rng);
      if (present.count(r)) {
        present.erase(r);
      } else {
        present.insert(r);
      }
    }
  }
  return present;
}

int RunWriter(const std::string& path) {
  std::unique_ptr<CdxFile> file;
  std::unique_ptr<CdxTag> tag;
  if (!CdxFile::Open(path, true, &file).ok()) return 2;
  if (!file->OpenTag("T_ID", CdxKeyType::kNumeric, &tag).ok()) return 3;
  std::set<uint32_t> present;
  std::mt19937 rng(99);
  std::uniform_int_distribution<uint32_t> pick(1, 4000);
  for (int batch = 0; batch < kBatches; ++batch) {
    CdxUpdateScope update(file.get());
    if (!update.status().ok()) return 4;
    for (int i = 0; i < 3; ++i) {
      const uint32_t r = pick(rng);
      const bool remove = present.count(r) != 0;
      for (uint32_t rec : {r, r + kPair}) {
        const Status s = remove ? tag->Remove(KeyOf(rec), rec) : tag->Insert(KeyOf(rec), rec);
        if (!s.ok()) return 5;
      }
      if (remove) {
        present.erase(r);
      } else {
        present.insert(r);
      }
    }
    if (!update.Finish().ok()) return 6;
  }
  return 0;
}

TEST(CdxTwoProcessTest, ReaderNeverSeesHalfABatch) {
  TempDir dir;
  const std::string path = dir.File("shared.cdx");
  {
    std::unique_ptr<CdxFile> file;
    ASSERT_TRUE(CdxFile::Create(path, &file).ok());
    ASSERT_TRUE(
        file->CreateTag({"T_ID", "ID", "", 8, CdxKeyType::kNumeric, false, false}, {}).ok());
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(RunWriter(path));

  std::unique_ptr<CdxFile> file;
  std::unique_ptr<CdxTag> tag;
  ASSERT_TRUE(CdxFile::Open(path, false, &file).ok());
  ASSERT_TRUE(file->OpenTag("T_ID", CdxKeyType::kNumeric, &tag).ok());
  int status = 0;
  int rounds = 0;
  bool done = false;
  while (!done) {
    done = waitpid(child, &status, WNOHANG) == child;
    ++rounds;
    uint64_t count = 0;
    Status s = tag->Count(&count);
    ASSERT_TRUE(s.ok()) << s.message();
    ASSERT_EQ(count % 2, 0u) << "count " << count << " in round " << rounds;
    // A walk spans many batches, but each step must land on a real entry, in order.
    CdxCursor cursor(tag.get());
    std::string last;
    for (s = cursor.First(); s.ok() && cursor.valid(); s = cursor.Next()) {
      ASSERT_EQ(cursor.key(), KeyOf(cursor.recno()));
      ASSERT_LT(last, cursor.key());
      last = cursor.key();
    }
    ASSERT_TRUE(s.ok()) << s.message();
    for (uint32_t r = 1 + rounds % 7; r <= 4000; r += 97) {
      bool exact = false;
      ASSERT_TRUE(cursor.Seek(KeyOf(r), &exact).ok());
      if (exact) {
        ASSERT_EQ(cursor.recno(), r);
      }
    }
  }
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_GT(rounds, 1);

  std::set<std::pair<std::string, uint32_t>> expected;
  for (uint32_t r : WriterModel()) {
    expected.emplace(KeyOf(r), r);
    expected.emplace(KeyOf(r + kPair), r + kPair);
  }
  std::set<std::pair<std::string, uint32_t>> seen;
  CdxCursor cursor(tag.get());
  Status s = cursor.First();
  for (; s.ok() && cursor.valid(); s = cursor.Next()) seen.emplace(cursor.key(), cursor.recno());
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace sdx::xbase
