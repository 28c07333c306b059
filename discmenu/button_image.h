// Where a bitmap button's picture lands in the dialog: centred in the button and cropped to
// it, as the platform draws bitmap buttons, and one pixel down and right while pushed. Used by
// the X11 dialog to draw and by the tests to know what the screen must show.
#pragma once

#include "discmenu/dialog_units.h"

namespace sdx::discmenu {

struct ImagePlacement {
  int source_x = 0;  // in the bitmap
  int source_y = 0;
  int dest_x = 0;  // in the dialog
  int dest_y = 0;
  int width = 0;  // 0 when nothing of the bitmap shows
  int height = 0;
  bool operator==(const ImagePlacement&) const = default;
};

ImagePlacement PlaceButtonImage(PixelRect button, int image_width, int image_height, bool pushed);

}  // namespace sdx::discmenu
