// The writer: tags built in bulk and by single inserts read back as the golden listings, and
// long random runs of inserts and removals on every kind of tag match an in-memory model.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/xbase/cdx_check.h"
#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_tag.h"
#include "platform/xbase/cdx_test_util.h"

namespace sdx::xbase {
namespace {

using testing::FixturePath;
using testing::FromHex;
using testing::LoadListing;
using testing::TempDir;
using Walk = std::vector<std::pair<std::string, uint32_t>>;

Walk WalkTag(CdxTag* tag) {
  Walk walk;
  CdxCursor cursor(tag);
  Status s = cursor.First();
  while (s.ok() && cursor.valid()) {
    walk.emplace_back(cursor.key(), cursor.recno());
    s = cursor.Next();
  }
  EXPECT_TRUE(s.ok()) << s.message();
  return walk;
}

void ExpectSound(CdxFile* file, CdxTag* tag) {
  std::vector<std::string> notes;
  Status s = CheckCdxTag(tag, nullptr, &notes);
  EXPECT_TRUE(s.ok()) << s.message();
  s = CheckCdxFile(file, [&](const CdxTagInfo&) { return tag->key_type(); });
  EXPECT_TRUE(s.ok()) << s.message();
}

// The file header, the directory page and the tag header of a one-tag file are laid out as
// the golden writer laid them out, byte for byte but for the change counter and the
// meaningless statistics bytes.
void ExpectSameHeaders(const std::string& golden, const std::string& ours) {
  auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string a = read(golden), b = read(ours);
  ASSERT_GE(a.size(), 0xA00u);
  ASSERT_GE(b.size(), 0xA00u);
  for (size_t i = 0; i < 0xA00; ++i) {
    const size_t in_header = i < 0x400 ? i : (i >= 0x600 ? i - 0x600 : 1024);
    if ((in_header >= 8 && in_header < 12) || (in_header >= 16 && in_header < 36)) continue;
    ASSERT_EQ(a[i], b[i]) << golden << " byte " << i;
  }
}

// Every golden tag rebuilt from its listed keys, once bottom up and once by inserting the
// entries one at a time in record order, walks exactly as the original.
TEST(CdxWriteTest, GoldenTagsRebuiltWalkTheSame) {
  const auto listing = LoadListing("xbase-golden");
  TempDir dir;
  int built = 0;
  for (const auto& table : listing["tables"]) {
    for (const auto& t : table["tags"]) {
      CdxTagSpec tag_def;
      tag_def.name = t["name"];
      tag_def.key_expression = t["expression"];
      tag_def.for_expression = t["for"].is_null() ? "" : t["for"].get<std::string>();
      tag_def.key_length = t["key_size"];
      tag_def.key_type = t["key_type"] == "C" ? CdxKeyType::kCharacter : CdxKeyType::kNumeric;
      tag_def.unique = t["unique"];
      tag_def.descending = t["descending"];
      Walk expected;
      std::vector<CdxEntry> entries;
      for (const auto& k : t["keys"]) {
        expected.emplace_back(FromHex(k["key"]), k["recno"]);
        entries.push_back(CdxEntry{FromHex(k["key"]), k["recno"], 0});
      }
      for (bool bulk : {true, false}) {
        const std::string path =
            dir.File(std::to_string(built++) + (bulk ? "-bulk.cdx" : "-insert.cdx"));
        std::unique_ptr<CdxFile> file;
        ASSERT_TRUE(CdxFile::Create(path, &file).ok());
        std::vector<CdxEntry> initial = bulk ? entries : std::vector<CdxEntry>();
        ASSERT_TRUE(file->CreateTag(tag_def, initial).ok());
        std::unique_ptr<CdxTag> tag;
        ASSERT_TRUE(file->OpenTag(tag_def.name, tag_def.key_type, &tag).ok());
        if (!bulk) {
          std::vector<CdxEntry> by_record = entries;
          std::sort(by_record.begin(), by_record.end(),
                    [](const CdxEntry& a, const CdxEntry& b) { return a.recno < b.recno; });
          for (const CdxEntry& e : by_record) ASSERT_TRUE(tag->Insert(e.key, e.recno).ok());
        }
        EXPECT_EQ(tag->descending(), tag_def.descending);
        EXPECT_EQ(tag->for_expression(), tag_def.for_expression);
        Walk walk = WalkTag(tag.get());
        EXPECT_EQ(walk, expected) << tag_def.name << (bulk ? " bulk" : " inserted");
        ExpectSound(file.get(), tag.get());
        if (bulk && table["tags"].size() == 1) {
          ExpectSameHeaders(FixturePath("xbase-golden/" + table["files"]["cdx"].get<std::string>()),
                            path);
        }
      }
    }
  }
}

struct RandomCase {
  const char* name;
  CdxKeyType type;
  uint32_t key_length;
  bool unique;
  bool descending;
  uint32_t max_recno;  // large record numbers widen the leaf entries
};

std::string RandomKey(const RandomCase& c, std::mt19937& rng) {
  if (c.type == CdxKeyType::kNumeric) {
    static const double kValues[] = {-1e6, -2.75, -1,  0,     0.5, 1,
                                     1.5,  6,     202, 32768, 1e9, 4294967296.0};
    std::uniform_int_distribution<int> pick(0, 40);
    const int n = pick(rng);
    return CdxDoubleKey(n < 12 ? kValues[n] : n * 7.25);
  }
  // Few distinct keys, so duplicates abound; blanks and bytes below a blank inside them test
  // the trailing-fill compression.
  std::uniform_int_distribution<int> pick(0, 60);
  const int n = pick(rng);
  std::string text = "K" + std::to_string(n % 23);
  if (n % 5 == 0) text += " X";
  if (n % 7 == 0) text += '\x10';
  if (n % 11 == 0) text = std::string(c.key_length, static_cast<char>('A' + n % 3));
  return CdxCharacterKey(text, c.key_length);
}

TEST(CdxWriteTest, RandomOperationsMatchAModel) {
  const RandomCase kCases[] = {
      {"CHARS", CdxKeyType::kCharacter, 12, false, false, 5000},
      {"WIDE", CdxKeyType::kCharacter, 240, false, false, 300},
      {"DESCNUM", CdxKeyType::kNumeric, 8, false, true, 1u << 20},
      {"UNIQ", CdxKeyType::kCharacter, 20, true, false, 70000},
      {"UNIQDESC", CdxKeyType::kNumeric, 8, true, true, 100},
  };
  for (const RandomCase& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::unique_ptr<CdxFile> file;
    ASSERT_TRUE(CdxFile::Create(dir.File("random.cdx"), &file).ok());
    CdxTagSpec tag_def;
    tag_def.name = c.name;
    tag_def.key_expression = "KEY";
    tag_def.key_length = c.key_length;
    tag_def.key_type = c.type;
    tag_def.unique = c.unique;
    tag_def.descending = c.descending;
    ASSERT_TRUE(file->CreateTag(tag_def, {}).ok());
    std::unique_ptr<CdxTag> tag;
    ASSERT_TRUE(file->OpenTag(c.name, c.type, &tag).ok());

    std::set<std::pair<std::string, uint32_t>> model;
    std::mt19937 rng(1234);
    std::uniform_int_distribution<uint32_t> recno(1, c.max_recno);
    std::uniform_int_distribution<int> op(0, 99);
    for (int step = 1; step <= 4000; ++step) {
      // Grow for the first half, then lean towards removal so the tree shrinks back.
      const bool insert = op(rng) < (step < 2000 ? 70 : 35) || model.empty();
      if (insert) {
        const std::string key = RandomKey(c, rng);
        const uint32_t rec = recno(rng);
        const bool taken = std::any_of(model.begin(), model.end(), [&](const auto& e) {
          return e.first == key && e.second != rec;
        });
        Status s = tag->Insert(key, rec);
        if (c.unique && taken) {
          ASSERT_EQ(s.code(), kCdxErrorUnique);
        } else {
          ASSERT_TRUE(s.ok()) << s.message();
          model.emplace(key, rec);
        }
      } else {
        auto it = model.begin();
        std::advance(it, std::uniform_int_distribution<size_t>(0, model.size() - 1)(rng));
        bool removed = false;
        ASSERT_TRUE(tag->Remove(it->first, it->second, &removed).ok());
        ASSERT_TRUE(removed);
        bool again = true;
        ASSERT_TRUE(tag->Remove(it->first, it->second, &again).ok());
        ASSERT_FALSE(again);
        model.erase(it);
      }
      if (step % 250 != 0) continue;
      Walk expected(model.begin(), model.end());
      if (c.descending) std::reverse(expected.begin(), expected.end());
      ASSERT_EQ(WalkTag(tag.get()), expected) << "after step " << step;
      ExpectSound(file.get(), tag.get());
      // Seeks agree with the model: the first entry in walk order not before the key.
      for (int probe = 0; probe < 20; ++probe) {
        const std::string key = RandomKey(c, rng);
        auto want = std::find_if(expected.begin(), expected.end(), [&](const auto& e) {
          return c.descending ? e.first <= key : e.first >= key;
        });
        CdxCursor cursor(tag.get());
        bool exact = false;
        ASSERT_TRUE(cursor.Seek(key, &exact).ok());
        ASSERT_EQ(cursor.valid(), want != expected.end());
        if (cursor.valid()) {
          EXPECT_EQ(cursor.recno(), want->second);
          EXPECT_EQ(exact, want->first == key);
        }
      }
    }
    // Reopened from disk, the file reads the same.
    Walk expected(model.begin(), model.end());
    if (c.descending) std::reverse(expected.begin(), expected.end());
    const std::string path = file->path();
    tag.reset();
    file.reset();
    ASSERT_TRUE(CdxFile::Open(path, false, &file).ok());
    ASSERT_TRUE(file->OpenTag(c.name, c.type, &tag).ok());
    EXPECT_EQ(WalkTag(tag.get()), expected);
  }
}

// Emptied completely, a tag is one empty root leaf again, and the pages it gave back are
// used again by the next inserts instead of growing the file.
TEST(CdxWriteTest, EmptiedTagGivesItsPagesBack) {
  TempDir dir;
  std::unique_ptr<CdxFile> file;
  ASSERT_TRUE(CdxFile::Create(dir.File("empty.cdx"), &file).ok());
  CdxTagSpec tag_def{"T_ID", "ID", "", 8, CdxKeyType::kNumeric, false, false};
  ASSERT_TRUE(file->CreateTag(tag_def, {}).ok());
  std::unique_ptr<CdxTag> tag;
  ASSERT_TRUE(file->OpenTag("t_id", CdxKeyType::kNumeric, &tag).ok());
  std::vector<CdxEntry> entries;
  for (uint32_t r = 1; r <= 3000; ++r) entries.push_back(CdxEntry{CdxDoubleKey(r % 997), r, 0});
  uint64_t grown_size = 0;
  for (int round = 0; round < 2; ++round) {
    for (const CdxEntry& e : entries) ASSERT_TRUE(tag->Insert(e.key, e.recno).ok());
    if (round == 0) grown_size = file->file_size();
    EXPECT_EQ(file->file_size(), grown_size) << "freed pages are used again";
    ExpectSound(file.get(), tag.get());
    for (const CdxEntry& e : entries) ASSERT_TRUE(tag->Remove(e.key, e.recno).ok());
    uint64_t count = 1;
    ASSERT_TRUE(tag->Count(&count).ok());
    EXPECT_EQ(count, 0u);
    ExpectSound(file.get(), tag.get());
    CdxCursor cursor(tag.get());
    ASSERT_TRUE(cursor.First().ok());
    EXPECT_TRUE(cursor.eof());
  }
}

// A record's change as the table reports it: old and new key with their FOR results. A key
// refused by the unique tag leaves the record's old entry where it was.
TEST(CdxWriteTest, RecordChangesKeepAUniqueTagRight) {
  TempDir dir;
  std::unique_ptr<CdxFile> file;
  ASSERT_TRUE(CdxFile::Create(dir.File("unique.cdx"), &file).ok());
  CdxTagSpec tag_def{"T_ID", "ID", ".NOT. DELETED()", 4, CdxKeyType::kCharacter, true, false};
  ASSERT_TRUE(file->CreateTag(tag_def, {{"A   ", 1, 0}, {"B   ", 2, 0}, {"A   ", 3, 0}}).ok());
  std::unique_ptr<CdxTag> tag;
  ASSERT_TRUE(file->OpenTag("T_ID", CdxKeyType::kCharacter, &tag).ok());
  EXPECT_EQ(WalkTag(tag.get()), (Walk{{"A   ", 1}, {"B   ", 2}})) << "lowest record keeps a key";
  struct Case {
    const char *old_key, *new_key;
    bool old_in, new_in;
    uint32_t recno;
    int code;
    Walk after;
  };
  const Case kCases[] = {
      {"A", "B", true, true, 1, kCdxErrorUnique, {{"A   ", 1}, {"B   ", 2}}},
      {"A", "C", true, true, 1, 0, {{"B   ", 2}, {"C   ", 1}}},
      {"C", "C", true, false, 1, 0, {{"B   ", 2}}},
      {"", "D", false, true, 3, 0, {{"B   ", 2}, {"D   ", 3}}},
      {"", "B", false, true, 4, kCdxErrorUnique, {{"B   ", 2}, {"D   ", 3}}},
      {"B", "B", true, true, 2, 0, {{"B   ", 2}, {"D   ", 3}}},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(tag->Update(c.old_key, c.old_in, c.new_key, c.new_in, c.recno).code(), c.code)
        << c.old_key << "->" << c.new_key;
    EXPECT_EQ(WalkTag(tag.get()), c.after) << c.old_key << "->" << c.new_key;
  }
  EXPECT_TRUE(tag->CheckUnique("B", 2).ok());
  EXPECT_EQ(tag->CheckUnique("B", 5).code(), kCdxErrorUnique);
  EXPECT_TRUE(tag->CheckUnique("E", 5).ok());
}

// A cursor keeps its place while the tag changes under it: removing the entry it stands on,
// or adding one next to it, and the next step in either direction still lands right.
TEST(CdxWriteTest, CursorStepsAcrossChanges) {
  for (bool descending : {false, true}) {
    SCOPED_TRACE(descending ? "descending" : "ascending");
    TempDir dir;
    std::unique_ptr<CdxFile> file;
    ASSERT_TRUE(CdxFile::Create(dir.File("moving.cdx"), &file).ok());
    std::vector<CdxEntry> entries;
    for (uint32_t r = 1; r <= 2000; ++r) entries.push_back(CdxEntry{CdxDoubleKey(r / 4), r, 0});
    CdxTagSpec tag_def{"T", "K", "", 8, CdxKeyType::kNumeric, false, descending};
    ASSERT_TRUE(file->CreateTag(tag_def, entries).ok());
    std::unique_ptr<CdxTag> tag;
    ASSERT_TRUE(file->OpenTag("T", CdxKeyType::kNumeric, &tag).ok());
    CdxCursor cursor(tag.get());
    bool exact = false;
    ASSERT_TRUE(cursor.Seek(CdxDoubleKey(250), &exact).ok());
    ASSERT_TRUE(exact);
    // Ascending: 250 holds records 1000..1003; descending walks them 1003 down to 1000.
    const uint32_t first = descending ? 1003 : 1000;
    const int dir_step = descending ? -1 : 1;
    EXPECT_EQ(cursor.recno(), first);
    ASSERT_TRUE(tag->Remove(CdxDoubleKey(250), first).ok());
    ASSERT_TRUE(cursor.Next().ok());
    EXPECT_EQ(cursor.recno(), first + dir_step) << "the removed entry's successor";
    ASSERT_TRUE(tag->Remove(CdxDoubleKey(250), first + dir_step).ok());
    ASSERT_TRUE(cursor.Prev().ok());
    EXPECT_EQ(cursor.recno(), descending ? 1004u : 999u) << "the removed entry's predecessor";
    // Just after the cursor: the same key with a higher record number, or in a descending
    // walk a lower one.
    const uint32_t added = descending ? 900 : 5000;
    ASSERT_TRUE(tag->Insert(CdxDoubleKey(descending ? 251 : 249), added).ok());
    ASSERT_TRUE(cursor.Next().ok());
    EXPECT_EQ(cursor.recno(), added) << "an entry added just after the cursor";
    ASSERT_TRUE(cursor.Next().ok());
    EXPECT_EQ(cursor.recno(), descending ? 1001u : 1002u);
  }
}

// A reader that keeps pages cached between calls sees each change another open of the file
// made, whether the change rewrote pages it holds, split them or freed them.
TEST(CdxWriteTest, ReaderSeesChangesOfAnotherOpen) {
  TempDir dir;
  const std::string path = dir.File("shared.cdx");
  std::unique_ptr<CdxFile> writer;
  ASSERT_TRUE(CdxFile::Create(path, &writer).ok());
  std::vector<CdxEntry> entries;
  for (uint32_t r = 1; r <= 3000; ++r) entries.push_back(CdxEntry{CdxDoubleKey(r), r, 0});
  ASSERT_TRUE(
      writer->CreateTag({"T", "K", "", 8, CdxKeyType::kNumeric, false, false}, entries).ok());
  std::unique_ptr<CdxTag> written;
  ASSERT_TRUE(writer->OpenTag("T", CdxKeyType::kNumeric, &written).ok());
  std::unique_ptr<CdxFile> reader;
  ASSERT_TRUE(CdxFile::Open(path, false, &reader).ok());
  std::unique_ptr<CdxTag> read;
  ASSERT_TRUE(reader->OpenTag("T", CdxKeyType::kNumeric, &read).ok());
  ASSERT_EQ(WalkTag(read.get()).size(), 3000u);
  for (uint32_t round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const uint32_t added = 5000 + round;
    ASSERT_TRUE(written->Insert(CdxDoubleKey(2500.5), added).ok());
    for (uint32_t r = round * 50 + 1; r <= round * 50 + 50; ++r) {
      ASSERT_TRUE(written->Remove(CdxDoubleKey(r), r).ok());
    }
    CdxCursor cursor(read.get());
    bool exact = false;
    ASSERT_TRUE(cursor.SeekEntry(CdxDoubleKey(2500.5), added, &exact).ok());
    EXPECT_TRUE(exact) << "the entry added last";
    ASSERT_TRUE(cursor.Seek(CdxDoubleKey(round * 50 + 25), &exact).ok());
    EXPECT_FALSE(exact) << "a removed entry";
    EXPECT_EQ(cursor.recno(), round * 50 + 51);
    EXPECT_EQ(WalkTag(read.get()), WalkTag(written.get()));
  }
}

// Enough tags that the tag directory itself needs interior pages; dropping some keeps the
// rest reachable, in creation order.
TEST(CdxWriteTest, ManyTagsGrowTheDirectory) {
  TempDir dir;
  std::unique_ptr<CdxFile> file;
  ASSERT_TRUE(CdxFile::Create(dir.File("tags.cdx"), &file).ok());
  std::vector<std::string> names;
  for (int i = 0; i < 90; ++i) {
    names.push_back("TAG_" + std::to_string((i * 37) % 90));
    CdxTagSpec tag_def{names.back(), "ID", "", 8, CdxKeyType::kNumeric, false, false};
    ASSERT_TRUE(file->CreateTag(tag_def, {CdxEntry{CdxDoubleKey(i), 1, 0}}).ok());
  }
  for (int i = 0; i < 90; i += 3) ASSERT_TRUE(file->DropTag(names[i], CdxKeyType::kNumeric).ok());
  std::vector<CdxTagInfo> tags;
  ASSERT_TRUE(file->ListTags(&tags).ok());
  ASSERT_EQ(tags.size(), 60u);
  for (size_t i = 0, kept = 0; i < names.size(); ++i) {
    if (i % 3 == 0) continue;
    EXPECT_EQ(tags[kept++].name, names[i]);
    std::unique_ptr<CdxTag> tag;
    ASSERT_TRUE(file->OpenTag(names[i], CdxKeyType::kNumeric, &tag).ok());
    CdxCursor cursor(tag.get());
    ASSERT_TRUE(cursor.First().ok());
    EXPECT_EQ(cursor.key(), CdxDoubleKey(static_cast<double>(i)));
  }
  std::unique_ptr<CdxTag> gone;
  EXPECT_EQ(file->OpenTag(names[0], CdxKeyType::kNumeric, &gone).code(), kCdxErrorTagName);
  Status s = CheckCdxFile(file.get(), [](const CdxTagInfo&) { return CdxKeyType::kNumeric; });
  EXPECT_TRUE(s.ok()) << s.message();
}

}  // namespace
}  // namespace sdx::xbase
