// A bitmap resource on the X server: the palette bitmap turned into the screen's pixel format
// once, so that painting is a copy. The platform keeps the button bitmaps in a PixmapStore;
// the dialog owns its background's.
#pragma once

#include <X11/Xlib.h>

#include <map>
#include <memory>

#include "discmenu/indexed_bitmap.h"

namespace sdx::discmenu {

class X11Pixmap {
 public:
  // nullptr when the server cannot hold it.
  static std::unique_ptr<X11Pixmap> Create(Display* display, const IndexedBitmap& bitmap);

  X11Pixmap(const X11Pixmap&) = delete;
  X11Pixmap& operator=(const X11Pixmap&) = delete;
  ~X11Pixmap();

  Pixmap get() const { return pixmap_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  X11Pixmap(Display* display, Pixmap pixmap, int width, int height)
      : display_(display), pixmap_(pixmap), width_(width), height_(height) {}

  Display* display_;
  Pixmap pixmap_;
  int width_;
  int height_;
};

// Loaded bitmaps by resource number.
using PixmapStore = std::map<int, std::unique_ptr<X11Pixmap>>;

}  // namespace sdx::discmenu
