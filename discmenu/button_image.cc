#include "discmenu/button_image.h"

#include <algorithm>

namespace sdx::discmenu {
namespace {

struct Span {
  int source;
  int dest;
  int length;
};

// One axis: the image starts at `offset` inside a button of `extent`; keep what overlaps.
Span Crop(int offset, int image_extent, int extent) {
  const int first = std::max(0, offset);
  const int last = std::min(extent, offset + image_extent);
  if (last <= first) return Span{0, 0, 0};
  return Span{first - offset, first, last - first};
}

}  // namespace

ImagePlacement PlaceButtonImage(PixelRect button, int image_width, int image_height, bool pushed) {
  const int shift = pushed ? 1 : 0;
  const Span x = Crop((button.width - image_width) / 2 + shift, image_width, button.width);
  const Span y = Crop((button.height - image_height) / 2 + shift, image_height, button.height);
  if (x.length == 0 || y.length == 0) return ImagePlacement{};
  return ImagePlacement{x.source,          y.source, button.x + x.dest,
                        button.y + y.dest, x.length, y.length};
}

}  // namespace sdx::discmenu
