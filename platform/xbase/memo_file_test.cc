// The memo file's bytes: new memos at "next free" in the file's own block size, big-endian
// block headers, "next free" moved on, empty memos stored as no block at all.
#include "platform/xbase/memo_file.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/xbase/test_util.h"

namespace sdx::xbase {
namespace {

using testing::TempDir;

TEST(MemoFileTest, NewMemosGoToTheEndInTheFilesBlockSize) {
  struct Case {
    uint32_t block_size;
    uint32_t first_block;
  };
  for (const Case& c : {Case{64, 8}, Case{512, 1}, Case{100, 6}}) {
    SCOPED_TRACE(c.block_size);
    TempDir dir;
    const std::string path = dir.File("m.fpt");
    std::unique_ptr<MemoFile> memo;
    ASSERT_TRUE(MemoFile::Create(path, c.block_size, &memo).ok());
    memo.reset();
    ASSERT_TRUE(MemoFile::Open(path, false, &memo).ok());
    EXPECT_EQ(memo->block_size(), c.block_size);

    uint32_t empty = 1, first = 0, second = 0;
    ASSERT_TRUE(memo->Write("", &empty).ok());
    EXPECT_EQ(empty, 0u);
    const std::string long_text(c.block_size + 10, 'L');
    ASSERT_TRUE(memo->Write("short", &first).ok());
    ASSERT_TRUE(memo->Write(long_text, &second).ok());
    EXPECT_EQ(first, c.first_block);
    const uint32_t first_blocks = (8 + 5 + c.block_size - 1) / c.block_size;
    EXPECT_EQ(second, first + first_blocks);
    const uint32_t next =
        second + (8 + static_cast<uint32_t>(long_text.size()) + c.block_size - 1) / c.block_size;

    const std::vector<uint8_t> bytes = testing::ReadWholeFile(path);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(next) * c.block_size);
    EXPECT_EQ(bytes[0] << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3], static_cast<int>(next));
    EXPECT_EQ(bytes[6] << 8 | bytes[7], static_cast<int>(c.block_size));
    const size_t at = static_cast<size_t>(first) * c.block_size;
    const std::vector<uint8_t> head(bytes.begin() + at, bytes.begin() + at + 13);
    EXPECT_EQ(head, (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 5, 's', 'h', 'o', 'r', 't'}));
    EXPECT_EQ(bytes[at + 13], 0);  // the tail of the last block is zero-filled

    std::string text;
    ASSERT_TRUE(memo->Read(first, &text).ok());
    EXPECT_EQ(text, "short");
    ASSERT_TRUE(memo->Read(second, &text).ok());
    EXPECT_EQ(text, long_text);
    ASSERT_TRUE(memo->Read(0, &text).ok());
    EXPECT_EQ(text, "");
    // Blocks inside the header or past the end are errors, not reads.
    if (c.first_block > 1) {
      EXPECT_FALSE(memo->Read(1, &text).ok());
    }
    EXPECT_FALSE(memo->Read(next + 5, &text).ok());
  }
}

}  // namespace
}  // namespace sdx::xbase
