#include "frame/url_decode.h"

#include <gtest/gtest.h>

#include "frame/parse_long.h"

namespace sdx {
namespace {

TEST(UrlDecodeTest, Escapes) {
  struct Case {
    std::string in, out;
  };
  const Case kCases[] = {
      {"a%2Bb+c%zz", "a+b c?z"},
      {"%41%62%7e%7E", "Ab~~"},
      {"%", "?"},
      {"%4", "?"},
      {"%4g", "?"},
      {"%4gh", "?h"},
      {"%%41", "?41"},
      {"%00x", std::string("\0x", 2)},
      {"100%", "100?"},
      {"++", "  "},
  };
  for (const Case& c : kCases) EXPECT_EQ(UrlDecode(c.in), c.out) << c.in;
}

TEST(ParseLongTest, LikeAtol) {
  struct Case {
    const char* in;
    int32_t out;
  };
  const Case kCases[] = {
      {"25x", 25},
      {"abc", 0},
      {"", 0},
      {"  -12", -12},
      {"\t+7", 7},
      {"- 7", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const Case& c : kCases) EXPECT_EQ(ParseLong(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace sdx
