// The pictures of the menu: button faces (16 colours) and the full-size backgrounds of the two
// layouts (256 colours), drawn into palette bitmaps. The bitmap resources call these painters
// with each bitmap's size, kind and words.
#pragma once

#include <string_view>

#include "discmenu/dialog_units.h"
#include "discmenu/indexed_bitmap.h"

namespace sdx::discmenu {

enum class ButtonLook { kPrimary, kManual, kClose };

// `plate` is the part of the bitmap that its button shows (a button crops a larger bitmap
// around its centre); the face is drawn there, the rest is margin.
IndexedBitmap PaintButtonFace(int width, int height, PixelRect plate, ButtonLook look,
                              std::string_view label);

// `manuals_top` and `manuals_bottom` bound the column where the layout places its
// manual buttons, so the background can frame it.
IndexedBitmap PaintBackground(int width, int height, int manuals_top, int manuals_bottom);

}  // namespace sdx::discmenu
