#include "frame/join_repeated_parameters.h"

#include <gtest/gtest.h>

namespace sdx {
namespace {

TEST(JoinRepeatedParametersTest, Rules) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case kCases[] = {
      {"", ""},
      {"n=a&n=b&n=c", "n=a,b,c"},
      {"n=a&n=", "n=a,"},
      {"n=a&m=b&n=c", "n=a&m=b&n=c"},  // only neighbours
      {"n=a&N=b", "n=a&N=b"},          // names compared byte for byte
      {"=x&a=1", "a=1"},               // empty name: dropped with its separator
      {"a=1&=x&b=2", "a=1&b=2"},
      {"a=1&=x", "a=1"},  // last piece: the '&' before it goes too
      {"=x", ""},
      {"a=1&=x&a=2", "a=1&a=2"},     // the dropped piece stood between them
      {"n&n=a&n=b", "n&n=a,b"},      // a piece without '=' is copied
      {"n=a&n&n=b", "n=a&n&n=b"},    // and joins nothing around it
      {"&a=1&&a=2", "&a=1&&a=2"},    // empty pieces are kept for the binding to skip
      {"Cmd?n=a&n=b", "Cmd?n=a,b"},  // up to the first '?' copied unchanged
      {"n=a&n=b?n=c&n=d", "n=a&n=b?n=c,d"},
      {"a=x=y&a=z", "a=x=y,z"},
  };
  for (const Case& c : kCases) EXPECT_EQ(JoinRepeatedParameters(c.in), c.out) << c.in;
}

TEST(JoinRepeatedParametersTest, ThousandsOfPiecesInLinearTime) {
  std::string text = "EventList";
  std::string expected = "EventList&ProfileIds=0";
  for (int i = 0; i < 200000; ++i) text += "&ProfileIds=" + std::to_string(i % 10);
  for (int i = 1; i < 200000; ++i) expected += "," + std::to_string(i % 10);
  EXPECT_EQ(JoinRepeatedParameters(text), expected);
}

}  // namespace
}  // namespace sdx
