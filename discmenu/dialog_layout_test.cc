#include "discmenu/dialog_layout.h"

#include <gtest/gtest.h>

#include "discmenu/dialog_units.h"

namespace sdx::discmenu {
namespace {

TEST(DialogUnitsTest, MulDivRoundsHalvesAwayFromZero) {
  struct Case {
    int value, numerator, denominator, expected;
  };
  const Case kCases[] = {
      {427, 6, 4, 641},   // 640.5
      {295, 13, 8, 479},  // 479.375
      {17, 6, 4, 26},     // 25.5
      {17, 13, 8, 28},    // 27.625
      {15, 13, 8, 24},    // 24.375
      {-17, 6, 4, -26},   // halves go away from zero on both sides
      {17, -6, 4, -26},
      {0, 6, 4, 0},
      {5, 1, 0, 0},                 // no division by zero
      {1 << 30, 6, 4, 1610612736},  // no overflow in the product
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(MulDiv(c.value, c.numerator, c.denominator), c.expected)
        << c.value << "*" << c.numerator << "/" << c.denominator;
  }
}

TEST(DialogUnitsTest, ConvertsWithTheBaseUnitsOfMsSansSerif8) {
  EXPECT_EQ(DialogUnitsToPixelsX(4), 6);
  EXPECT_EQ(DialogUnitsToPixelsY(8), 13);
  EXPECT_EQ(DialogRectToPixels(383, 275, 32, 15), (PixelRect{575, 447, 48, 24}));
}

TEST(DialogLayoutTest, ShownLayoutPlacesItsControls) {
  const DialogLayout* layout = FindDialogLayout(kLayoutShown);
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->font_name, "MS Sans Serif");
  EXPECT_EQ(layout->font_points, 8);
  EXPECT_EQ(LayoutPixelSize(*layout), (PixelRect{0, 0, 641, 479}));

  struct Case {
    int id;
    ControlKind kind;
    bool visible;
    PixelRect rect;
  };
  const Case kCases[] = {
      {1000, ControlKind::kPushButton, true, {26, 273, 174, 28}},
      {1006, ControlKind::kPushButton, true, {575, 447, 48, 24}},
      {1007, ControlKind::kPushButton, true, {431, 213, 179, 21}},
      {1008, ControlKind::kEdit, false, {191, 320, 288, 24}},
  };
  for (const Case& c : kCases) {
    const DialogControl* control = FindControl(*layout, c.id);
    ASSERT_NE(control, nullptr) << c.id;
    EXPECT_EQ(control->kind, c.kind) << c.id;
    EXPECT_EQ(control->visible, c.visible) << c.id;
    EXPECT_EQ(ControlPixelRect(*control), c.rect) << c.id;
  }
  for (int id = 1009; id <= 1015; ++id) EXPECT_EQ(FindControl(*layout, id), nullptr) << id;

  const DialogControl* background = FindControl(*layout, kStaticControlId);
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->kind, ControlKind::kBitmapStatic);
  EXPECT_EQ(background->bitmap_id, 131);
  EXPECT_EQ(background->x, 0);
  EXPECT_EQ(background->y, 0);
}

TEST(DialogLayoutTest, OtherLayoutHasEveryManualInOneColumn) {
  const DialogLayout* layout = FindDialogLayout(kLayoutAllManuals);
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(FindControl(*layout, kStaticControlId)->bitmap_id, 129);
  const int kTops[] = {131, 144, 157, 170, 183, 195, 208, 221, 234};
  for (int i = 0; i < 9; ++i) {
    const DialogControl* control = FindControl(*layout, 1007 + i);
    ASSERT_NE(control, nullptr) << 1007 + i;
    EXPECT_EQ(control->kind, ControlKind::kPushButton);
    EXPECT_EQ(control->x, 287);
    EXPECT_EQ(control->y, kTops[i]);
    EXPECT_EQ(control->width, 119);
    EXPECT_EQ(control->height, 13);
  }
}

TEST(DialogLayoutTest, EveryPushButtonIsABitmapButton) {
  for (int id : {kLayoutAllManuals, kLayoutShown}) {
    const DialogLayout* layout = FindDialogLayout(id);
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->width, 427);
    EXPECT_EQ(layout->height, 295);
    for (const DialogControl& control : layout->controls) {
      if (control.kind != ControlKind::kPushButton) continue;
      EXPECT_EQ(control.style & kButtonBitmapStyle, kButtonBitmapStyle) << control.id;
    }
  }
  EXPECT_EQ(FindDialogLayout(100), nullptr);
}

}  // namespace
}  // namespace sdx::discmenu
