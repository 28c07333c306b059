// A palette bitmap as the platform's resources hold them: 4 bits (16 colours) or 8 bits
// (256 colours) per pixel, one byte per pixel here for simple drawing. Made by the bitmap
// resources, drawn on by the art and the font, turned into X11 pixmaps by the dialog.
#pragma once

#include <cstdint>
#include <vector>

namespace sdx::discmenu {

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

struct IndexedBitmap {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 0;
  std::vector<Rgb> palette;     // 1 << bits_per_pixel entries
  std::vector<uint8_t> pixels;  // row by row from the top, each an index into the palette

  IndexedBitmap() = default;
  IndexedBitmap(int w, int h, int bits)
      : width(w),
        height(h),
        bits_per_pixel(bits),
        palette(size_t{1} << bits),
        pixels(static_cast<size_t>(w) * h, 0) {}

  uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  Rgb ColourAt(int x, int y) const { return palette[At(x, y)]; }
  // Pixels outside the bitmap are left alone, so that drawing may run over the edges.
  void Set(int x, int y, uint8_t index) {
    if (x >= 0 && y >= 0 && x < width && y < height) {
      pixels[static_cast<size_t>(y) * width + x] = index;
    }
  }
  void FillRect(int x, int y, int w, int h, uint8_t index) {
    for (int row = y; row < y + h; ++row) {
      for (int col = x; col < x + w; ++col) Set(col, row, index);
    }
  }
};

}  // namespace sdx::discmenu
