// The bulk build's shortcuts against the plain rules they stand for: leaves filled in one pass
// hold exactly as many entries as re-packing the leaf per entry allows, and the build's sort
// orders and thins entries as comparing whole (key, record number) pairs does.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/xbase/cdx_page.h"
#include "platform/xbase/cdx_tree.h"

namespace sdx::xbase {
namespace {

struct Shape {
  const char* what;
  uint32_t key_length;
  uint8_t fill;
  int alphabet;        // distinct bytes a key's varying part draws from
  size_t fixed;        // leading bytes every key shares
  uint32_t max_recno;  // record numbers drawn below this
};

const Shape kShapes[] = {
    {"short keys, few values", 3, ' ', 2, 0, 1000},
    {"numeric width", 8, 0, 4, 2, 70000},
    {"long keys sharing their first eight bytes", 20, ' ', 3, 8, 1 << 20},
    {"record numbers crossing the three-byte width", 10, ' ', 5, 4, 1 << 25},
    {"widest keys", 240, ' ', 2, 200, 50},
};

// Keys of `shape`: a shared lead, a varying middle, and a random run of fill bytes at the end.
std::vector<CdxEntry> MakeEntries(const Shape& shape, size_t count, std::mt19937* random) {
  std::vector<CdxEntry> entries;
  for (size_t i = 0; i < count; ++i) {
    std::string key(shape.key_length, 'k');
    const size_t trail = (*random)() % (shape.key_length + 1 - shape.fixed);
    for (size_t b = shape.fixed; b < shape.key_length; ++b) {
      key[b] = b >= shape.key_length - trail
                   ? static_cast<char>(shape.fill)
                   : static_cast<char>('a' + (*random)() % shape.alphabet);
    }
    entries.push_back(CdxEntry{key, 1 + static_cast<uint32_t>((*random)() % shape.max_recno), 0});
  }
  return entries;
}

std::vector<CdxEntry> PlainSort(std::vector<CdxEntry> entries, bool unique) {
  std::sort(entries.begin(), entries.end(), [](const CdxEntry& a, const CdxEntry& b) {
    return CdxComparePair(a.key, a.recno, b.key, b.recno) < 0;
  });
  auto same = [&](const CdxEntry& a, const CdxEntry& b) {
    return a.key == b.key && (unique || a.recno == b.recno);
  };
  entries.erase(std::unique(entries.begin(), entries.end(), same), entries.end());
  return entries;
}

TEST(CdxBuildTest, LeafFillTakesWhatRepackingAllows) {
  std::mt19937 random(7);
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(shape.what);
    const std::vector<CdxEntry> entries =
        PlainSort(MakeEntries(shape, 600, &random), /*unique=*/false);
    for (size_t start = 0; start < entries.size(); start += 37) {
      const CdxEntry* first = entries.data() + start;
      const size_t left = entries.size() - start;
      size_t expected = 0;
      while (expected < left &&
             CdxLeafBytes(first, expected + 1, shape.key_length, shape.fill) <= 488) {
        ++expected;
      }
      const size_t n = CdxLeafFill(first, left, shape.key_length, shape.fill);
      ASSERT_EQ(n, expected) << "from entry " << start;
      uint8_t bytes[kCdxPageSize];
      EXPECT_TRUE(EncodeCdxLeaf(first, n, kCdxAttrLeaf, kCdxNoPage, kCdxNoPage, shape.key_length,
                                shape.fill, bytes)
                      .ok());
      if (n < left) {
        EXPECT_FALSE(EncodeCdxLeaf(first, n + 1, kCdxAttrLeaf, kCdxNoPage, kCdxNoPage,
                                   shape.key_length, shape.fill, bytes)
                         .ok());
      }
    }
  }
}

TEST(CdxBuildTest, SortForBuildMatchesComparingWholePairs) {
  std::mt19937 random(11);
  for (const Shape& shape : kShapes) {
    for (bool unique : {false, true}) {
      for (bool in_record_order : {false, true}) {
        SCOPED_TRACE(std::string(shape.what) + (unique ? ", unique" : "") +
                     (in_record_order ? ", rows in record order" : ""));
        std::vector<CdxEntry> entries = MakeEntries(shape, 2000, &random);
        if (in_record_order) {
          for (size_t i = 0; i < entries.size(); ++i) entries[i].recno = 3 * i + 1;
        } else {
          // Repeated pairs, as a caller handing in a record twice would.
          for (size_t i = 0; i < 50; ++i) entries.push_back(entries[random() % entries.size()]);
        }
        const std::vector<CdxEntry> expected = PlainSort(entries, unique);
        CdxTree::SortForBuild(shape.key_length, unique, &entries);
        ASSERT_EQ(entries.size(), expected.size());
        for (size_t i = 0; i < entries.size(); ++i) {
          ASSERT_EQ(entries[i].key, expected[i].key) << "at " << i;
          ASSERT_EQ(entries[i].recno, expected[i].recno) << "at " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace sdx::xbase
