// The checker names what is wrong, and damaged files (loops, overflowing counts, truncation)
// give errors from every reading call instead of hangs, crashes or made-up answers.
#include "platform/xbase/cdx_check.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_tag.h"
#include "platform/xbase/cdx_test_util.h"
#include "platform/xbase/os_file.h"

namespace sdx::xbase {
namespace {

using testing::TempDir;

constexpr uint32_t kRecords = 6000;

std::string KeyOf(uint32_t recno) { return CdxDoubleKey((recno / 2) * 1000.37); }

// A three-level numeric tag over kRecords records, keys with duplicates.
std::string MakeIndex(const TempDir& dir, const std::string& name) {
  const std::string path = dir.File(name);
  std::unique_ptr<CdxFile> file;
  EXPECT_TRUE(CdxFile::Create(path, &file).ok());
  std::vector<CdxEntry> entries;
  for (uint32_t r = 1; r <= kRecords; ++r) entries.push_back(CdxEntry{KeyOf(r), r, 0});
  CdxTagSpec tag_def{"T_ID", "ID", "", 8, CdxKeyType::kNumeric, false, false};
  EXPECT_TRUE(file->CreateTag(tag_def, entries).ok());
  return path;
}

uint32_t Get32(const std::string& path, uint64_t offset, bool big_endian = false) {
  OsFile f;
  uint8_t b[4] = {};
  EXPECT_TRUE(f.Open(path, OsFile::Mode::kReadOnly).ok());
  EXPECT_TRUE(f.ReadAt(offset, b, 4).ok());
  if (big_endian) return (uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
  return b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t{b[3]} << 24);
}

void Put(const std::string& path, uint64_t offset, std::vector<uint8_t> bytes) {
  OsFile f;
  ASSERT_TRUE(f.Open(path, OsFile::Mode::kReadWrite).ok());
  ASSERT_TRUE(f.WriteAt(offset, bytes.data(), bytes.size()).ok());
}

std::vector<uint8_t> Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

struct Pages {
  uint32_t root = 0;
  uint32_t interior = 0;  // first child of the root
  uint32_t leaf = 0;      // first leaf
};

Pages FindPages(const std::string& path) {
  std::unique_ptr<CdxFile> file;
  EXPECT_TRUE(CdxFile::Open(path, false, &file).ok());
  std::vector<CdxTagInfo> tags;
  EXPECT_TRUE(file->ListTags(&tags).ok());
  Pages p;
  p.root = tags.at(0).header.root;
  p.interior = Get32(path, p.root + 12 + 8 + 4, true);
  p.leaf = Get32(path, p.interior + 12 + 8 + 4, true);
  EXPECT_EQ(Get32(path, p.interior) & 0xFFFF, 0u) << "three levels";
  EXPECT_EQ(Get32(path, p.leaf) & 0xFFFF, 2u) << "three levels";
  return p;
}

// Walks the tag both ways and seeks; returns the first failure, or OK when all went through.
Status ReadEverything(const std::string& path) {
  std::unique_ptr<CdxFile> file;
  Status s = CdxFile::Open(path, false, &file);
  if (!s.ok()) return s;
  std::unique_ptr<CdxTag> tag;
  s = file->OpenTag("T_ID", CdxKeyType::kNumeric, &tag);
  if (!s.ok()) return s;
  CdxCursor cursor(tag.get());
  uint32_t steps = 0;
  for (s = cursor.First(); s.ok() && cursor.valid() && steps <= kRecords; s = cursor.Next()) {
    ++steps;
  }
  if (!s.ok()) return s;
  if (steps != kRecords) return Status::Error(1, "walk saw " + std::to_string(steps));
  for (s = cursor.Last(); s.ok() && cursor.valid(); s = cursor.Prev()) {
  }
  bool exact = false;
  if (s.ok()) s = cursor.Seek(KeyOf(kRecords / 2), &exact);
  if (s.ok()) s = CheckCdxTag(tag.get(), nullptr, nullptr);
  return s;
}

TEST(CdxCheckTest, DamagedFilesGiveErrors) {
  struct Case {
    const char* name;
    void (*damage)(const std::string& path, const Pages& p);
    const char* message;  // part of the error
  };
  const Case kCases[] = {
      {"right sibling loops to itself",
       [](const std::string& path, const Pages& p) { Put(path, p.leaf + 8, Le32(p.leaf)); },
       "sibling"},
      {"child points back at the root",
       [](const std::string& path, const Pages& p) {
         const uint32_t root = p.root;
         Put(path, p.interior + 12 + 8 + 4,
             {static_cast<uint8_t>(root >> 24), static_cast<uint8_t>(root >> 16),
              static_cast<uint8_t>(root >> 8), static_cast<uint8_t>(root)});
       },
       ""},
      {"key count overflows the leaf",
       [](const std::string& path, const Pages& p) {
         Put(path, p.leaf + 2, {0xFF, 0xFF});
       },
       "overflows"},
      {"interior count overflows",
       [](const std::string& path, const Pages& p) {
         Put(path, p.root + 2, {0xFF, 0x00});
       },
       "overflows"},
      {"leaf bit widths",
       [](const std::string& path, const Pages& p) { Put(path, p.leaf + 23, {9}); }, "bit widths"},
      {"interior key changed",
       [](const std::string& path, const Pages& p) { Put(path, p.interior + 12 + 7, {0x01}); },
       "interior key"},
      {"root outside the file",
       [](const std::string& path, const Pages& p) { Put(path, 0x600, Le32(0x7FFF0000)); }, "root"},
      {"file cut short",
       [](const std::string& path, const Pages& p) {
         OsFile f;
         ASSERT_TRUE(f.Open(path, OsFile::Mode::kReadWrite).ok());
         ASSERT_TRUE(f.Truncate(p.leaf + 100).ok());
       },
       ""},
  };
  TempDir dir;
  ASSERT_TRUE(ReadEverything(MakeIndex(dir, "intact.cdx")).ok());
  int n = 0;
  for (const Case& c : kCases) {
    const std::string path = MakeIndex(dir, std::to_string(n++) + ".cdx");
    c.damage(path, FindPages(path));
    const Status s = ReadEverything(path);
    EXPECT_FALSE(s.ok()) << c.name;
    EXPECT_NE(s.message().find(c.message), std::string::npos) << c.name << ": " << s.message();
  }
}

// Records as a table would supply them: a key and whether the FOR holds, per record.
class FakeRecords : public CdxRecordSource {
 public:
  uint32_t RecordCount() const override { return static_cast<uint32_t>(keys_.size()); }
  Status KeyFor(const CdxTag& tag, uint32_t recno, std::string* key, bool* in_tag) const override {
    *key = keys_.at(recno - 1).first;
    *in_tag = keys_.at(recno - 1).second;
    return Status::Ok();
  }
  std::vector<std::pair<std::string, bool>> keys_;
};

TEST(CdxCheckTest, RecordsAgainstTheTag) {
  struct Case {
    const char* name;
    bool unique;
    std::vector<std::pair<std::string, bool>> records;      // what the table says
    std::vector<std::pair<std::string, uint32_t>> entries;  // what the tag holds
    const char* error;                                      // nullptr: passes
    size_t notes;
  };
  const std::string a = CdxCharacterKey("A", 4), b = CdxCharacterKey("B", 4);
  const Case kCases[] = {
      {"agrees", false, {{a, true}, {b, false}, {a, true}}, {{a, 1}, {a, 3}}, nullptr, 0},
      {"missing", false, {{a, true}, {b, true}}, {{a, 1}}, "record 2 is missing", 0},
      {"FOR false but filed", false, {{a, true}, {b, false}}, {{a, 1}, {b, 2}}, "FOR is false", 0},
      {"wrong key", false, {{a, true}, {b, true}}, {{a, 1}, {a, 2}}, "record 2 is filed under", 0},
      {"beyond the table", false, {{a, true}}, {{a, 1}, {b, 7}}, "record 7, beyond", 0},
      {"unique duplicate stays out", true, {{a, true}, {a, true}}, {{a, 1}}, nullptr, 0},
      {"unique owner left", true, {{a, false}, {a, true}}, {}, nullptr, 1},
  };
  TempDir dir;
  int n = 0;
  for (const Case& c : kCases) {
    std::unique_ptr<CdxFile> file;
    ASSERT_TRUE(CdxFile::Create(dir.File(std::to_string(n++) + ".cdx"), &file).ok());
    CdxTagSpec tag_def{"T", "K", "", 4, CdxKeyType::kCharacter, c.unique, false};
    std::vector<CdxEntry> entries;
    for (const auto& [key, recno] : c.entries) entries.push_back(CdxEntry{key, recno, 0});
    ASSERT_TRUE(file->CreateTag(tag_def, entries).ok());
    std::unique_ptr<CdxTag> tag;
    ASSERT_TRUE(file->OpenTag("T", CdxKeyType::kCharacter, &tag).ok());
    FakeRecords records;
    records.keys_ = c.records;
    std::vector<std::string> notes;
    const Status s = CheckCdxTag(tag.get(), &records, &notes);
    if (c.error == nullptr) {
      EXPECT_TRUE(s.ok()) << c.name << ": " << s.message();
    } else {
      EXPECT_NE(s.message().find(c.error), std::string::npos) << c.name << ": " << s.message();
    }
    EXPECT_EQ(notes.size(), c.notes) << c.name;
  }
}

}  // namespace
}  // namespace sdx::xbase
