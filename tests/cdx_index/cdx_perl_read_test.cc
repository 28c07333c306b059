// Perl's XBase::Index, an independent reader, walks the indexes we write in the same order
// as our own cursors, after a bulk build and after long runs of inserts and removals.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_tag.h"
#include "platform/xbase/cdx_test_util.h"

namespace sdx::xbase {
namespace {

using testing::FromHex;
using testing::TempDir;
using Walk = std::vector<std::pair<std::string, uint32_t>>;

// The tag as XBase::Index reads it: stored key bytes (without the compressed trailing fill)
// and record numbers, in stored order (it ignores the descending flag).
Walk PerlWalk(const std::string& path, const std::string& tag) {
  const std::string command =
      "perl -MXBase::Index -e '$i = XBase::Index->new($ARGV[0], tag => $ARGV[1], type => \"C\") "
      "or die XBase::Index->errstr; $i->prepare_select; "
      "while (my ($k, $v) = $i->fetch) { print unpack(\"H*\", $k), \" $v\\n\" }' " +
      path + " " + tag;
  Walk walk;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return walk;
  char line[1024];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    const size_t space = text.find(' ');
    if (space == std::string::npos) continue;
    walk.emplace_back(FromHex(text.substr(0, space)), std::stoul(text.substr(space + 1)));
  }
  EXPECT_EQ(pclose(pipe), 0) << command;
  return walk;
}

Walk OurStoredWalk(CdxTag* tag) {
  Walk walk;
  CdxCursor cursor(tag);
  Status s = cursor.First();
  for (; s.ok() && cursor.valid(); s = cursor.Next()) {
    std::string key = cursor.key();
    while (!key.empty() && static_cast<uint8_t>(key.back()) == CdxFillByte(tag->key_type())) {
      key.pop_back();
    }
    walk.emplace_back(key, cursor.recno());
  }
  EXPECT_TRUE(s.ok()) << s.message();
  if (tag->descending()) return Walk(walk.rbegin(), walk.rend());
  return walk;
}

TEST(CdxPerlReadTest, XBaseIndexReadsOurFilesInOurOrder) {
  struct Def {
    CdxTagSpec def;
    uint32_t max_recno;
  };
  const Def kTags[] = {
      {{"NAME", "UPPER(NAME)", "", 30, CdxKeyType::kCharacter, false, false}, 200000},
      {{"T_TIMED", "TIME", "", 8, CdxKeyType::kNumeric, false, true}, 5000},
      {{"T_ID", "ID", ".NOT. DELETED()", 8, CdxKeyType::kNumeric, true, false}, 300},
      {{"T_TEXT", "LEFT(UPPER(TRIM(TEXT)),240)", "", 240, CdxKeyType::kCharacter, false, false},
       1000},
  };
  TempDir dir;
  const std::string path = dir.File("perl.cdx");
  std::unique_ptr<CdxFile> file;
  ASSERT_TRUE(CdxFile::Create(path, &file).ok());
  std::mt19937 rng(77);
  for (const Def& t : kTags) {
    std::uniform_int_distribution<uint32_t> recno(1, t.max_recno);
    auto key = [&](uint32_t r) {
      if (t.def.key_type == CdxKeyType::kNumeric) return CdxDoubleKey((r % 500) * 1.5 - 100);
      return CdxCharacterKey("NAME " + std::to_string(r % 700) + (r % 3 ? " X" : ""),
                             t.def.key_length);
    };
    std::vector<CdxEntry> initial;
    for (int i = 0; i < 1500; ++i) {
      const uint32_t r = recno(rng);
      initial.push_back(CdxEntry{key(r), r, 0});
    }
    ASSERT_TRUE(file->CreateTag(t.def, initial).ok());
    std::unique_ptr<CdxTag> tag;
    ASSERT_TRUE(file->OpenTag(t.def.name, t.def.key_type, &tag).ok());
    for (int i = 0; i < 1500; ++i) {
      const uint32_t r = recno(rng);
      if (i % 3 == 0) {
        ASSERT_TRUE(tag->Remove(key(r), r).ok());
      } else {
        const Status s = tag->Insert(key(r), r);
        ASSERT_TRUE(s.ok() || s.code() == kCdxErrorUnique) << s.message();
      }
    }
  }
  for (const Def& t : kTags) {
    std::unique_ptr<CdxTag> tag;
    ASSERT_TRUE(file->OpenTag(t.def.name, t.def.key_type, &tag).ok());
    const Walk ours = OurStoredWalk(tag.get());
    EXPECT_GT(ours.size(), 100u);
    EXPECT_EQ(PerlWalk(path, t.def.name), ours) << t.def.name;
  }
}

}  // namespace
}  // namespace sdx::xbase
