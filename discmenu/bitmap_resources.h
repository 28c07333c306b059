// The bitmaps built into the menu, by resource number: their sizes and colour depths and the
// pictures behind them. The X11 platform loads them at start; the tests compare the screen
// with them.
#pragma once

#include <optional>
#include <span>

#include "discmenu/indexed_bitmap.h"

namespace sdx::discmenu {

struct BitmapResourceInfo {
  int id;
  int width;
  int height;
  int bits_per_pixel;
};

// Every bitmap the program holds, loaded or not.
std::span<const BitmapResourceInfo> BitmapResources();

// Draws the bitmap of that number; nothing for a number the program does not hold.
std::optional<IndexedBitmap> LoadBitmapResource(int id);

}  // namespace sdx::discmenu
