#include "discmenu/button_image.h"

#include <gtest/gtest.h>

namespace sdx::discmenu {
namespace {

TEST(ButtonImageTest, CentresAndCropsLikeABitmapButton) {
  struct Case {
    const char* name;
    PixelRect button;
    int image_width, image_height;
    bool pushed;
    ImagePlacement expected;
  };
  const Case kCases[] = {
      // Taller than its button: rows 2..29 of 33 show.
      {"install", {26, 273, 174, 28}, 174, 33, false, {0, 2, 26, 273, 174, 28}},
      // Larger both ways: cropped on every side.
      {"close", {575, 447, 48, 24}, 51, 31, false, {1, 3, 575, 447, 48, 24}},
      // Narrower than its button: two pixels of the dialog show at each side.
      {"manual", {431, 213, 179, 21}, 175, 21, false, {0, 0, 433, 213, 175, 21}},
      {"manual pushed", {431, 213, 179, 21}, 175, 21, true, {0, 0, 434, 214, 175, 20}},
      {"install pushed", {26, 273, 174, 28}, 174, 33, true, {0, 1, 27, 273, 173, 28}},
      {"empty button", {10, 10, 0, 0}, 175, 21, false, {}},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(PlaceButtonImage(c.button, c.image_width, c.image_height, c.pushed), c.expected)
        << c.name;
  }
}

}  // namespace
}  // namespace sdx::discmenu
