#include "sessions/session_id.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

namespace sdx {
namespace {

TEST(SessionIdTest, EighteenDigitsNeverReadAsZero) {
  std::set<std::string> seen;
  std::set<char> first_digits;
  for (int i = 0; i < 20000; ++i) {
    const std::string id = NewSessionId();
    ASSERT_EQ(id.size(), 18u) << id;
    ASSERT_EQ(id.find_first_not_of("0123456789"), std::string::npos) << id;
    ASSERT_NE(id[0], '0') << id;
    EXPECT_GT(std::atol(id.c_str()), 0) << id;
    first_digits.insert(id[0]);
    seen.insert(id);
  }
  // Not a clock: no two alike, and the leading digit takes every value it may.
  EXPECT_EQ(seen.size(), 20000u);
  EXPECT_EQ(first_digits.size(), 9u);
}

}  // namespace
}  // namespace sdx
