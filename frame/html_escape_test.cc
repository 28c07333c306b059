#include "frame/html_escape.h"

#include <gtest/gtest.h>

namespace sdx {
namespace {

TEST(HtmlEscapeTest, MarkupCharactersBecomeReferences) {
  struct Case {
    std::string_view text;
    std::string_view escaped;
  };
  const Case kCases[] = {
      {"", ""},
      {"Anna Berg", "Anna Berg"},
      {"<script>x</script>", "&lt;script&gt;x&lt;/script&gt;"},
      {"Tom & \"Jerry\" 'T'", "Tom &amp; &quot;Jerry&quot; &#39;T&#39;"},
      {"&amp;", "&amp;amp;"},
      {std::string_view("a\0\xe9", 3), std::string_view("a\0\xe9", 3)},
  };
  for (const Case& c : kCases) EXPECT_EQ(HtmlEscape(c.text), c.escaped) << c.text;
}

}  // namespace
}  // namespace sdx
