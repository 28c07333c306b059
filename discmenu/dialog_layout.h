// The menu's two dialog layouts as the resource compiler would hold them: size in dialog units,
// font, and each control's kind, place and style. The X11 dialog builds its window from them;
// the dialog procedure asks which controls a layout has.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "discmenu/dialog_units.h"

namespace sdx::discmenu {

inline constexpr int kLayoutAllManuals = 101;
inline constexpr int kLayoutShown = 102;

// The control id that the platform gives controls nobody addresses.
inline constexpr int kStaticControlId = -1;

// Push button style bit: the button shows an image instead of its text.
inline constexpr uint32_t kButtonBitmapStyle = 0x80;

enum class ControlKind { kPushButton, kBitmapStatic, kEdit };

struct DialogControl {
  int id;
  ControlKind kind;
  int x, y, width, height;  // dialog units; a bitmap static sizes itself to its bitmap
  uint32_t style;
  bool visible;
  int bitmap_id;  // the picture of a bitmap static; 0 otherwise
};

struct DialogLayout {
  int id;
  int width, height;  // dialog units
  std::string_view font_name;
  int font_points;
  std::span<const DialogControl> controls;
};

// nullptr for a layout the program does not hold.
const DialogLayout* FindDialogLayout(int layout_id);

// nullptr when the layout has no control of that id.
const DialogControl* FindControl(const DialogLayout& layout, int control_id);

PixelRect LayoutPixelSize(const DialogLayout& layout);
PixelRect ControlPixelRect(const DialogControl& control);

}  // namespace sdx::discmenu
