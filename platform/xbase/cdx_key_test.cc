// Key bytes: the numeric transform sorts like the numbers, matches the bytes other writers
// store, and reads back; character keys pad and cut to the key length.
#include "platform/xbase/cdx_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/xbase/cdx_test_util.h"

namespace sdx::xbase {
namespace {

using testing::ToHex;

TEST(CdxKeyTest, DoubleKeysAsStored) {
  struct Case {
    double value;
    const char* hex;
  };
  const Case kCases[] = {
      {-2.75, "3ff9ffffffffffff"}, {0.0, "8000000000000000"},  {-0.0, "8000000000000000"},
      {1.0, "bff0000000000000"},   {1.5, "bff8000000000000"},  {6.0, "c018000000000000"},
      {-1.0, "400fffffffffffff"},  {1001, "c08f480000000000"}, {-1000000.5, "3ed17b7effffffff"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ToHex(CdxDoubleKey(c.value)), c.hex) << c.value;
    EXPECT_EQ(CdxKeyDouble(CdxDoubleKey(c.value)), c.value == 0 ? 0.0 : c.value);
  }
  std::vector<double> values = {-1e300, -5, -2.75, -0.5, 0, 1e-300, 0.5, 3, 4294967296.0, 1e300};
  for (size_t i = 1; i < values.size(); ++i) {
    EXPECT_LT(CdxCompareKeys(CdxDoubleKey(values[i - 1]), CdxDoubleKey(values[i])), 0);
  }
}

TEST(CdxKeyTest, CharacterAndLogicalKeys) {
  EXPECT_EQ(CdxCharacterKey("AB", 5), "AB   ");
  EXPECT_EQ(CdxCharacterKey("ABCDEFG", 5), "ABCDE");
  EXPECT_EQ(CdxLogicalKey(true), "T");
  EXPECT_EQ(CdxLogicalKey(false), "F");
  EXPECT_EQ(CdxFillByte(CdxKeyType::kCharacter), 0x20);
  EXPECT_EQ(CdxFillByte(CdxKeyType::kNumeric), 0x00);
  // Unsigned bytes: a byte below the blank sorts before the padded shorter key, and bytes
  // above 0x7F after everything ASCII.
  EXPECT_LT(CdxCompareKeys("AB\x10  ", "AB   "), 0);
  EXPECT_GT(CdxCompareKeys("\xC4  ", "Z  "), 0);
  EXPECT_LT(CdxCompareKeys("AB", "AB "), 0);
}

}  // namespace
}  // namespace sdx::xbase
