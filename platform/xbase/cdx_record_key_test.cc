// Keys computed from the golden tables' records by their tags' own expressions are the keys
// the golden indexes hold, and the checker finds every record filed exactly as its key and
// FOR say (a unique tag's stand-aside duplicates reported as notes, not faults).
#include "platform/xbase/cdx_record_key.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
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

TEST(CdxRecordKeyTest, GoldenRecordsAreFiledAsTheirKeysSay) {
  const auto listing = LoadListing("xbase-golden");
  int tags_checked = 0;
  for (const auto& table : listing["tables"]) {
    std::vector<FieldLayout> fields;
    for (const auto& f : table["fields"]) {
      FieldLayout layout;
      layout.name = f["name"];
      layout.type = f["type"].get<std::string>()[0];
      layout.offset = f["offset"];
      layout.width = f["length"];
      layout.decimals = f["decimals"];
      fields.push_back(layout);
    }
    std::vector<std::string> records;
    for (const auto& r : table["records"]) records.push_back(FromHex(r["raw"]));
    auto reader = [&](uint32_t recno, RecordView* view) {
      const std::string& bytes = records.at(recno - 1);
      view->bytes = reinterpret_cast<const uint8_t*>(bytes.data());
      view->length = static_cast<uint32_t>(bytes.size());
      view->record_number = recno;
      return Status::Ok();
    };
    std::unique_ptr<CdxFile> file;
    ASSERT_TRUE(
        CdxFile::Open(FixturePath("xbase-golden/" + table["files"]["cdx"].get<std::string>()),
                      false, &file)
            .ok());
    for (const auto& t : table["tags"]) {
      Expression key, filter;
      ASSERT_TRUE(Expression::Compile(t["expression"].get<std::string>(), fields, &key).ok());
      const bool has_for = !t["for"].is_null();
      if (has_for) {
        ASSERT_TRUE(Expression::CompileFilter(t["for"].get<std::string>(), fields, &filter).ok());
      }
      EXPECT_EQ(CdxKeyLengthOf(key), t["key_size"].get<uint32_t>()) << t["name"];
      std::unique_ptr<CdxTag> tag;
      ASSERT_TRUE(file->OpenTag(t["name"], CdxKeyTypeOf(key.type()), &tag).ok());
      CdxExpressionSource source(static_cast<uint32_t>(records.size()), reader, &key,
                                 has_for ? &filter : nullptr);
      std::vector<std::string> notes;
      const Status s = CheckCdxTag(tag.get(), &source, &notes);
      EXPECT_TRUE(s.ok()) << s.message();
      ++tags_checked;
    }
  }
  EXPECT_EQ(tags_checked, 21);
}

}  // namespace
}  // namespace sdx::xbase
