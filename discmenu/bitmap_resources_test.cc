#include "discmenu/bitmap_resources.h"

#include <gtest/gtest.h>

#include <set>

#include "discmenu/button_image.h"
#include "discmenu/dialog_layout.h"
#include "discmenu/menu_commands.h"

namespace sdx::discmenu {
namespace {

TEST(BitmapResourcesTest, EveryBitmapHasItsSizeAndDepth) {
  struct Case {
    int id, width, height, bits;
  };
  const Case kCases[] = {
      {105, 174, 33, 4}, {109, 51, 31, 4},   {111, 175, 21, 4}, {118, 175, 21, 4},
      {122, 175, 21, 4}, {123, 175, 21, 4},  {124, 175, 21, 4}, {125, 175, 21, 4},
      {126, 175, 21, 4}, {127, 175, 21, 4},  {128, 175, 21, 4}, {129, 640, 480, 8},
      {130, 175, 21, 4}, {131, 640, 480, 8}, {135, 175, 21, 4},
  };
  EXPECT_EQ(BitmapResources().size(), std::size(kCases));
  for (const Case& c : kCases) {
    const std::optional<IndexedBitmap> bitmap = LoadBitmapResource(c.id);
    ASSERT_TRUE(bitmap.has_value()) << c.id;
    EXPECT_EQ(bitmap->width, c.width) << c.id;
    EXPECT_EQ(bitmap->height, c.height) << c.id;
    EXPECT_EQ(bitmap->bits_per_pixel, c.bits) << c.id;
    ASSERT_EQ(bitmap->palette.size(), size_t{1} << c.bits) << c.id;
    ASSERT_EQ(bitmap->pixels.size(), static_cast<size_t>(c.width) * c.height) << c.id;
    std::set<uint8_t> used(bitmap->pixels.begin(), bitmap->pixels.end());
    EXPECT_LT(*used.rbegin(), bitmap->palette.size()) << c.id;
    // A picture, not a flat fill.
    EXPECT_GT(used.size(), 4u) << c.id;
  }
  for (int id : {0, 104, 106, 132, 136}) EXPECT_FALSE(LoadBitmapResource(id).has_value()) << id;
}

// The words of a button face are white; every white pixel must be inside the part of the
// bitmap that its button shows, or the label would be cut on screen.
TEST(BitmapResourcesTest, ButtonWordsFitTheButtonsThatShowThem) {
  const DialogLayout* layout = FindDialogLayout(kLayoutAllManuals);
  ASSERT_NE(layout, nullptr);
  const Rgb kWhite{255, 255, 255};
  for (int control_id : BitmapButtonControls()) {
    const DialogControl* control = FindControl(*layout, control_id);
    ASSERT_NE(control, nullptr) << control_id;
    const std::optional<IndexedBitmap> face = LoadBitmapResource(BitmapForControl(control_id));
    ASSERT_TRUE(face.has_value()) << control_id;
    const ImagePlacement shown =
        PlaceButtonImage(ControlPixelRect(*control), face->width, face->height, false);
    int words = 0;
    for (int y = 0; y < face->height; ++y) {
      for (int x = 0; x < face->width; ++x) {
        if (!(face->ColourAt(x, y) == kWhite)) continue;
        ++words;
        EXPECT_TRUE(x >= shown.source_x && x < shown.source_x + shown.width &&
                    y >= shown.source_y && y < shown.source_y + shown.height)
            << control_id << " at " << x << "," << y;
      }
    }
    EXPECT_GT(words, 20) << control_id;
  }
}

TEST(BitmapResourcesTest, ButtonFacesDifferFromEachOther) {
  std::set<std::vector<uint8_t>> faces;
  for (int id : ButtonBitmapIds()) faces.insert(LoadBitmapResource(id)->pixels);
  EXPECT_EQ(faces.size(), ButtonBitmapIds().size());
}

}  // namespace
}  // namespace sdx::discmenu
