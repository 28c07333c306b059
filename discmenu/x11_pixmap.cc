#include "discmenu/x11_pixmap.h"

#include <X11/Xutil.h>

#include <bit>
#include <vector>

namespace sdx::discmenu {
namespace {

unsigned long ScaleToMask(uint8_t value, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const unsigned long top = mask >> shift;
  return ((value * top + 127) / 255) << shift;
}

// The screen's pixel value of each palette entry: packed directly on true-colour screens,
// allocated from the default colour map on palette screens.
std::vector<unsigned long> PixelValues(Display* display, const std::vector<Rgb>& palette) {
  const int screen = DefaultScreen(display);
  Visual* visual = DefaultVisual(display, screen);
  std::vector<unsigned long> values;
  values.reserve(palette.size());
  const bool direct = visual->c_class == TrueColor || visual->c_class == DirectColor;
  for (const Rgb& colour : palette) {
    if (direct) {
      values.push_back(ScaleToMask(colour.red, visual->red_mask) |
                       ScaleToMask(colour.green, visual->green_mask) |
                       ScaleToMask(colour.blue, visual->blue_mask));
      continue;
    }
    XColor wanted{};
    wanted.red = static_cast<unsigned short>(colour.red * 257);
    wanted.green = static_cast<unsigned short>(colour.green * 257);
    wanted.blue = static_cast<unsigned short>(colour.blue * 257);
    wanted.flags = DoRed | DoGreen | DoBlue;
    const bool allocated = XAllocColor(display, DefaultColormap(display, screen), &wanted) != 0;
    values.push_back(allocated ? wanted.pixel : BlackPixel(display, screen));
  }
  return values;
}

}  // namespace

std::unique_ptr<X11Pixmap> X11Pixmap::Create(Display* display, const IndexedBitmap& bitmap) {
  if (bitmap.width <= 0 || bitmap.height <= 0) return nullptr;
  const int screen = DefaultScreen(display);
  const int depth = DefaultDepth(display, screen);
  XImage* image = XCreateImage(display, DefaultVisual(display, screen), depth, ZPixmap, 0, nullptr,
                               bitmap.width, bitmap.height, 32, 0);
  if (image == nullptr) return nullptr;
  std::vector<char> data(static_cast<size_t>(image->bytes_per_line) * bitmap.height);
  image->data = data.data();

  const std::vector<unsigned long> values = PixelValues(display, bitmap.palette);
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) XPutPixel(image, x, y, values[bitmap.At(x, y)]);
  }

  const Pixmap pixmap =
      XCreatePixmap(display, RootWindow(display, screen), bitmap.width, bitmap.height, depth);
  GC gc = XCreateGC(display, pixmap, 0, nullptr);
  XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, bitmap.width, bitmap.height);
  XFreeGC(display, gc);
  image->data = nullptr;  // the vector owns the pixels
  XDestroyImage(image);
  return std::unique_ptr<X11Pixmap>(new X11Pixmap(display, pixmap, bitmap.width, bitmap.height));
}

X11Pixmap::~X11Pixmap() { XFreePixmap(display_, pixmap_); }

}  // namespace sdx::discmenu
