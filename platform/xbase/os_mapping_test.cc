#include "platform/xbase/os_mapping.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/xbase/os_file.h"
#include "platform/xbase/test_util.h"

namespace sdx::xbase {
namespace {

using testing::TempDir;

// A file reached through OsFile (which reads through its mapping) while a second descriptor
// plays the other process: growing, rewriting and cutting the file under it.
class OsMappingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("mapped");
    other_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(other_, 0);
    Put(0, std::string(4096, 'a'));
    ASSERT_TRUE(file_.Open(path_, OsFile::Mode::kReadOnly).ok());
  }
  void TearDown() override { ::close(other_); }
  void Put(uint64_t offset, const std::string& bytes) {
    ASSERT_EQ(::pwrite(other_, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
  }
  std::string Get(uint64_t offset, size_t size, Status* status) {
    std::string out(size, '\0');
    *status = file_.ReadAt(offset, out.data(), size);
    return out;
  }

  TempDir dir_;
  std::string path_;
  int other_ = -1;
  OsFile file_;
};

TEST_F(OsMappingTest, SeesAnotherWritersChangesGrowthAndCuts) {
  Status s;
  EXPECT_EQ(Get(4000, 96, &s), std::string(96, 'a'));
  ASSERT_TRUE(s.ok());

  Put(100, "changed");  // rewritten in place: seen at once
  EXPECT_EQ(Get(100, 7, &s), "changed");

  // Grown by a few bytes, then by far more than the room the mapping left.
  Put(4096, "tail");
  EXPECT_EQ(Get(4090, 10, &s), "aaaaaatail");
  ASSERT_TRUE(s.ok());
  Put(40 << 20, "far");
  EXPECT_EQ(Get(40 << 20, 3, &s), "far");
  ASSERT_TRUE(s.ok());

  // Cut short: a read of what is gone is an error, not a fault, and what is left still reads.
  ASSERT_EQ(::ftruncate(other_, 100), 0);
  Get(1 << 20, 8, &s);
  EXPECT_FALSE(s.ok());
  Get(8192, 8, &s);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(Get(0, 4, &s), "aaaa");
  EXPECT_TRUE(s.ok());

  // Grown back: readable again.
  Put(8192, "again");
  EXPECT_EQ(Get(8192, 5, &s), "again");
  EXPECT_TRUE(s.ok());
}

// Writes of a file open for writing go through the mapping once a read made one: others see
// them at once; a write past the end still makes the file longer; a write into a part another
// program cut away neither faults nor is lost.
TEST_F(OsMappingTest, WritesAreSeenByOthersAndSurviveCuts) {
  OsFile writer;
  ASSERT_TRUE(writer.Open(path_, OsFile::Mode::kReadWrite).ok());
  char byte = 0;
  ASSERT_TRUE(writer.ReadAt(0, &byte, 1).ok());
  auto other_reads = [&](uint64_t offset, size_t size) {
    std::string out(size, '\0');
    EXPECT_EQ(::pread(other_, out.data(), size, static_cast<off_t>(offset)),
              static_cast<ssize_t>(size));
    return out;
  };
  ASSERT_TRUE(writer.WriteAt(10, "in place", 8).ok());
  EXPECT_EQ(other_reads(10, 8), "in place");
  ASSERT_TRUE(writer.WriteAt(4094, "across end", 10).ok());
  EXPECT_EQ(other_reads(4094, 10), "across end");
  ASSERT_TRUE(writer.WriteAt(4100, "again", 5).ok());  // inside the part just added
  EXPECT_EQ(other_reads(4100, 5), "again");

  ASSERT_EQ(::ftruncate(other_, 0), 0);
  ASSERT_TRUE(writer.WriteAt(2000, "after cut", 9).ok());
  EXPECT_EQ(other_reads(2000, 9), "after cut");
  Status s;
  EXPECT_EQ(Get(2000, 9, &s), "after cut");
}

TEST_F(OsMappingTest, ReadsPastTheEndAreShortOrErrors) {
  size_t read = 0;
  std::vector<char> out(200);
  ASSERT_TRUE(file_.ReadSomeAt(4000, out.data(), out.size(), &read).ok());
  EXPECT_EQ(read, 96u);
  Status s;
  Get(4000, 200, &s);
  EXPECT_FALSE(s.ok());
  Get(UINT64_MAX - 2, 8, &s);
  EXPECT_FALSE(s.ok());
}

// A page cut away after it was mapped raises SIGBUS inside the copy; the guard turns it into
// a failed copy. The cut here goes through the mapping's own page, not just past its end.
TEST(OsMappingFaultTest, CopyFromAPageCutAwayFails) {
  TempDir dir;
  const int fd = ::open(dir.File("cut").c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  const std::string page(8192, 'x');
  ASSERT_EQ(::pwrite(fd, page.data(), page.size(), 0), 8192);
  OsMapping mapping;
  char out[16];
  ASSERT_TRUE(mapping.CopyOut(fd, 8000, out, sizeof out));
  ASSERT_EQ(::ftruncate(fd, 0), 0);
  EXPECT_FALSE(mapping.CopyOut(fd, 8000, out, sizeof out));
  EXPECT_FALSE(mapping.CopyOut(fd, 0, out, sizeof out));
  ::close(fd);
}

}  // namespace
}  // namespace sdx::xbase
