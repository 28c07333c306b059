// The menu's own small pixel font, so that the bitmaps carry their words without any font of
// the display. Proportional, 7 pixels to the top of a capital, 2 more below the line for
// descenders; drawn at any whole scale, optionally bold. Used by the button and background art.
#pragma once

#include <cstdint>
#include <string_view>

#include "discmenu/indexed_bitmap.h"

namespace sdx::discmenu {

inline constexpr int kFontCapHeight = 7;
inline constexpr int kFontLineHeight = 9;

struct TextStyle {
  int scale = 1;
  bool bold = false;
};

// The printable characters the font has a glyph for; others are drawn as a blank the width
// of a space.
bool FontHasGlyph(char c);

// Width in pixels of the text drawn in that style.
int TextWidth(std::string_view text, TextStyle style);

// Draws the text with the top of its capitals at (x, y).
void DrawText(IndexedBitmap& bitmap, int x, int y, std::string_view text, TextStyle style,
              uint8_t colour);

}  // namespace sdx::discmenu
