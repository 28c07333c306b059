// Reads the golden index files and Visual FoxPro's own: every tag walks both ways in the
// listed order with the listed keys, and seeks land where the listing says.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/xbase/cdx_check.h"
#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_tag.h"
#include "platform/xbase/cdx_test_util.h"
#include "platform/xbase/os_file.h"

namespace sdx::xbase {
namespace {

using testing::FixturePath;
using testing::FromHex;
using testing::LoadListing;
using testing::ToHex;

using Walk = std::vector<std::pair<std::string, uint32_t>>;

Walk WalkTag(CdxTag* tag, bool forward) {
  Walk walk;
  CdxCursor cursor(tag);
  Status s = forward ? cursor.First() : cursor.Last();
  while (s.ok() && cursor.valid()) {
    walk.emplace_back(cursor.key(), cursor.recno());
    s = forward ? cursor.Next() : cursor.Prev();
  }
  EXPECT_TRUE(s.ok()) << s.message();
  EXPECT_TRUE(forward ? cursor.eof() : cursor.bof());
  return walk;
}

// Seeks every listed key: the cursor must land on its first occurrence in walk order, and a
// key just below it must land there too without an exact match.
void CheckSeeks(CdxTag* tag, const Walk& expected) {
  CdxCursor cursor(tag);
  for (size_t i = 0; i < expected.size(); ++i) {
    if (i > 0 && expected[i - 1].first == expected[i].first) continue;
    bool exact = false;
    ASSERT_TRUE(cursor.Seek(expected[i].first, &exact).ok());
    EXPECT_TRUE(exact) << tag->name() << " key " << ToHex(expected[i].first);
    ASSERT_TRUE(cursor.valid());
    EXPECT_EQ(cursor.recno(), expected[i].second) << tag->name() << " entry " << i;
  }
}

CdxKeyType GoldenType(const std::string& type) {
  return type == "C" ? CdxKeyType::kCharacter : CdxKeyType::kNumeric;
}

TEST(CdxGoldenTest, EveryTagWalksAndSeeksAsListed) {
  const auto listing = LoadListing("xbase-golden");
  int tags_checked = 0;
  for (const auto& table : listing["tables"]) {
    const std::string cdx = table["files"]["cdx"];
    std::unique_ptr<CdxFile> file;
    ASSERT_TRUE(CdxFile::Open(FixturePath("xbase-golden/" + cdx), false, &file).ok()) << cdx;
    std::vector<CdxTagInfo> infos;
    ASSERT_TRUE(file->ListTags(&infos).ok());
    ASSERT_EQ(infos.size(), table["tags"].size()) << cdx;
    std::map<std::string, CdxKeyType> types;
    for (const auto& t : table["tags"]) types[t["name"]] = GoldenType(t["key_type"]);
    Status checked =
        CheckCdxFile(file.get(), [&](const CdxTagInfo& info) { return types[info.name]; });
    EXPECT_TRUE(checked.ok()) << checked.message();
    size_t index = 0;
    for (const auto& t : table["tags"]) {
      const std::string name = t["name"];
      EXPECT_EQ(infos[index++].name, name) << "tags in creation order";
      std::unique_ptr<CdxTag> tag;
      ASSERT_TRUE(file->OpenTag(name, GoldenType(t["key_type"]), &tag).ok()) << name;
      EXPECT_EQ(tag->key_length(), t["key_size"].get<uint32_t>());
      EXPECT_EQ(tag->key_expression(), t["expression"].get<std::string>());
      EXPECT_EQ(tag->for_expression(), t["for"].is_null() ? "" : t["for"].get<std::string>());
      EXPECT_EQ(tag->unique(), t["unique"].get<bool>());
      EXPECT_EQ(tag->descending(), t["descending"].get<bool>());
      Walk expected;
      for (const auto& k : t["keys"]) expected.emplace_back(FromHex(k["key"]), k["recno"]);
      EXPECT_EQ(expected.size(), t["key_count"].get<size_t>());
      EXPECT_EQ(WalkTag(tag.get(), true), expected) << cdx << " " << name;
      Walk backward = WalkTag(tag.get(), false);
      EXPECT_EQ(Walk(backward.rbegin(), backward.rend()), expected) << cdx << " " << name;
      uint64_t count = 0;
      ASSERT_TRUE(tag->Count(&count).ok());
      EXPECT_EQ(count, expected.size());
      CheckSeeks(tag.get(), expected);
      Status s = CheckCdxTag(tag.get(), nullptr, nullptr);
      EXPECT_TRUE(s.ok()) << s.message();
      ++tags_checked;
    }
  }
  EXPECT_EQ(tags_checked, 21);
}

// Visual FoxPro's files: the listing leaves off the trailing fill that leaves compress, and
// the key type follows from the indexed field (character expressions fill with blanks).
CdxKeyType NorthwindType(const nlohmann::json& table, const std::string& expression) {
  for (const auto& field : table["fields"]) {
    std::string name = field["name"];
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (expression.rfind(name, 0) == 0 && expression.find('(') == std::string::npos) {
      return field["type"] == "C" ? CdxKeyType::kCharacter : CdxKeyType::kBinary;
    }
  }
  return CdxKeyType::kCharacter;
}

std::string StripFill(std::string key, CdxKeyType type) {
  const char fill = static_cast<char>(CdxFillByte(type));
  while (!key.empty() && key.back() == fill) key.pop_back();
  return key;
}

TEST(CdxGoldenTest, VisualFoxProFilesWalkAsListed) {
  const auto listing = LoadListing("vfp-northwind");
  int tags_checked = 0;
  for (const auto& [table_name, table] : listing["tables"].items()) {
    std::unique_ptr<CdxFile> file;
    ASSERT_TRUE(
        CdxFile::Open(FixturePath("vfp-northwind/" + table_name + ".cdx"), false, &file).ok());
    for (const auto& t : table["tags"]) {
      const std::string name = t["tag"];
      const CdxKeyType type = NorthwindType(table, t["key"]);
      std::unique_ptr<CdxTag> tag;
      ASSERT_TRUE(file->OpenTag(name, type, &tag).ok()) << name;
      EXPECT_EQ(tag->key_length(), t["key_length"].get<uint32_t>());
      EXPECT_EQ(tag->key_expression(), t["key"].get<std::string>());
      Walk expected;
      for (const auto& k : t["walk"]) expected.emplace_back(FromHex(k[0]), k[1]);
      Walk forward = WalkTag(tag.get(), true);
      for (auto& [key, recno] : forward) key = StripFill(key, type);
      EXPECT_EQ(forward, expected) << table_name << " " << name;
      Walk backward = WalkTag(tag.get(), false);
      ASSERT_EQ(backward.size(), expected.size());
      for (size_t i = 0; i < backward.size(); ++i) {
        EXPECT_EQ(backward[i].second, expected[expected.size() - 1 - i].second);
      }
      Walk full = WalkTag(tag.get(), true);
      CheckSeeks(tag.get(), full);
      Status s = CheckCdxTag(tag.get(), nullptr, nullptr);
      EXPECT_TRUE(s.ok()) << s.message();
      ++tags_checked;
    }
  }
  EXPECT_EQ(tags_checked, 20);
}

}  // namespace
}  // namespace sdx::xbase

namespace sdx::xbase {
namespace {

// Every page of Visual FoxPro's trees, decoded and encoded again, gives VFP's bytes back: the
// same entry widths, masks, prefix and trailing compression and free count. Only unused
// bytes may differ (VFP leaves stale bytes in a leaf's gap and after interior entries).
TEST(CdxGoldenTest, LeavesEncodeAsVisualFoxProWroteThem) {
  const auto listing = LoadListing("vfp-northwind");
  int pages_checked = 0;
  for (const auto& [table_name, table] : listing["tables"].items()) {
    const std::string path = FixturePath("vfp-northwind/" + table_name + ".cdx");
    std::unique_ptr<CdxFile> file;
    ASSERT_TRUE(CdxFile::Open(path, false, &file).ok());
    OsFile raw;
    ASSERT_TRUE(raw.Open(path, OsFile::Mode::kReadOnly).ok());
    for (const auto& t : table["tags"]) {
      const CdxKeyType type = NorthwindType(table, t["key"]);
      std::unique_ptr<CdxTag> tag;
      ASSERT_TRUE(file->OpenTag(t["tag"], type, &tag).ok());
      std::vector<uint32_t> pages;
      ASSERT_TRUE(file->Read([&] { return tag->tree()->CollectPages(&pages); }).ok());
      for (uint32_t offset : pages) {
        uint8_t original[kCdxPageSize];
        uint8_t encoded[kCdxPageSize];
        ASSERT_TRUE(raw.ReadAt(offset, original, sizeof original).ok());
        CdxPage page;
        ASSERT_TRUE(
            DecodeCdxPage(original, tag->key_length(), CdxFillByte(type), 1u << 30, &page).ok());
        ASSERT_TRUE(EncodeCdxPage(page, tag->key_length(), CdxFillByte(type), encoded).ok());
        size_t gap_begin = 12 + page.entries.size() * (tag->key_length() + 8);
        size_t gap_end = kCdxPageSize;
        if (page.leaf()) {
          gap_begin = 24 + page.entries.size() * original[23];
          gap_end = gap_begin + (original[12] | (original[13] << 8));
        }
        for (size_t i = 0; i < kCdxPageSize; ++i) {
          if (i >= gap_begin && i < gap_end) continue;
          ASSERT_EQ(encoded[i], original[i])
              << table_name << " " << tag->name() << " page " << offset << " byte " << i;
        }
        ++pages_checked;
      }
    }
  }
  EXPECT_GT(pages_checked, 50);
}

}  // namespace
}  // namespace sdx::xbase
