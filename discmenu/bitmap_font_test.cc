#include "discmenu/bitmap_font.h"

#include <gtest/gtest.h>

#include <string>

namespace sdx::discmenu {
namespace {

constexpr uint8_t kInk = 1;

struct InkBox {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
};

InkBox InkOf(const IndexedBitmap& bitmap) {
  InkBox box;
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      if (bitmap.At(x, y) != kInk) continue;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x);
      box.top = std::min(box.top, y);
      box.bottom = std::max(box.bottom, y);
    }
  }
  return box;
}

// Every glyph, in every style, keeps its ink inside the width it claims and the line's height:
// a glyph with a row longer than the others, or an extra row, would spill.
TEST(BitmapFontTest, GlyphsStayInsideTheirAdvanceAndLine) {
  const TextStyle kStyles[] = {{1, false}, {1, true}, {2, true}, {5, true}};
  for (char c = ' '; c <= '~'; ++c) {
    if (!FontHasGlyph(c)) continue;
    for (const TextStyle& style : kStyles) {
      const std::string text(1, c);
      IndexedBitmap bitmap(80, 80, 4);
      DrawText(bitmap, 10, 10, text, style, kInk);
      const InkBox box = InkOf(bitmap);
      if (c == ' ') {
        EXPECT_EQ(box.right, -1);
        continue;
      }
      ASSERT_GE(box.right, 0) << "no ink for '" << c << "'";
      EXPECT_GE(box.left, 10) << c;
      EXPECT_LT(box.right, 10 + TextWidth(text, style)) << c << " scale " << style.scale;
      EXPECT_GE(box.top, 10) << c;
      EXPECT_LT(box.bottom, 10 + kFontLineHeight * style.scale) << c;
    }
  }
}

TEST(BitmapFontTest, HasEveryLetterAndDigitOfTheMenu) {
  for (char c = 'A'; c <= 'Z'; ++c) EXPECT_TRUE(FontHasGlyph(c)) << c;
  for (char c = 'a'; c <= 'z'; ++c) EXPECT_TRUE(FontHasGlyph(c)) << c;
  for (char c = '0'; c <= '9'; ++c) EXPECT_TRUE(FontHasGlyph(c)) << c;
  EXPECT_FALSE(FontHasGlyph('\t'));
}

TEST(BitmapFontTest, CapitalsAreSevenPixelsAndDescendersGoBelow) {
  IndexedBitmap bitmap(40, 40, 4);
  DrawText(bitmap, 0, 0, "H", {1, false}, kInk);
  EXPECT_EQ(InkOf(bitmap).bottom, kFontCapHeight - 1);
  IndexedBitmap descender(40, 40, 4);
  DrawText(descender, 0, 0, "g", {1, false}, kInk);
  EXPECT_EQ(InkOf(descender).bottom, kFontLineHeight - 1);
}

TEST(BitmapFontTest, WidthsAddUpAndScale) {
  const TextStyle plain{1, false};
  EXPECT_EQ(TextWidth("", plain), 0);
  EXPECT_EQ(TextWidth("H", plain), 5);
  EXPECT_EQ(TextWidth("HH", plain), 11);
  EXPECT_EQ(TextWidth("HH", {1, true}), 13);
  EXPECT_EQ(TextWidth("HH", {3, false}), 33);
  EXPECT_EQ(TextWidth("HH", {4, true}), 48);  // bold widens by half a scaled pixel
  // Unknown characters hold the room of a space.
  EXPECT_EQ(TextWidth("H\tH", plain), TextWidth("H H", plain));
}

TEST(BitmapFontTest, DrawingOverTheEdgeIsClipped) {
  IndexedBitmap bitmap(4, 4, 4);
  DrawText(bitmap, -3, -3, "Alertweave", {2, true}, kInk);
  DrawText(bitmap, 2, 2, "W", {3, false}, kInk);
  EXPECT_EQ(bitmap.pixels.size(), 16u);
}

}  // namespace
}  // namespace sdx::discmenu
