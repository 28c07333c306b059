#include "discmenu/dialog_layout.h"

#include <array>

namespace sdx::discmenu {
namespace {

constexpr uint32_t kPushButton = kButtonBitmapStyle;

constexpr std::array kShownControls = {
    DialogControl{kStaticControlId, ControlKind::kBitmapStatic, 0, 0, 0, 0, 0, true, 131},
    DialogControl{1000, ControlKind::kPushButton, 17, 168, 116, 17, kPushButton, true, 0},
    DialogControl{1006, ControlKind::kPushButton, 383, 275, 32, 15, kPushButton, true, 0},
    DialogControl{1007, ControlKind::kPushButton, 287, 131, 119, 13, kPushButton, true, 0},
    DialogControl{1008, ControlKind::kEdit, 127, 197, 192, 15, 0, false, 0},
};

constexpr std::array kAllManualsControls = {
    DialogControl{kStaticControlId, ControlKind::kBitmapStatic, 0, 0, 0, 0, 0, true, 129},
    DialogControl{1000, ControlKind::kPushButton, 17, 168, 116, 17, kPushButton, true, 0},
    DialogControl{1006, ControlKind::kPushButton, 383, 275, 32, 15, kPushButton, true, 0},
    DialogControl{1007, ControlKind::kPushButton, 287, 131, 119, 13, kPushButton, true, 0},
    DialogControl{1008, ControlKind::kPushButton, 287, 144, 119, 13, kPushButton, true, 0},
    DialogControl{1009, ControlKind::kPushButton, 287, 157, 119, 13, kPushButton, true, 0},
    DialogControl{1010, ControlKind::kPushButton, 287, 170, 119, 13, kPushButton, true, 0},
    DialogControl{1011, ControlKind::kPushButton, 287, 183, 119, 13, kPushButton, true, 0},
    DialogControl{1012, ControlKind::kPushButton, 287, 195, 119, 13, kPushButton, true, 0},
    DialogControl{1013, ControlKind::kPushButton, 287, 208, 119, 13, kPushButton, true, 0},
    DialogControl{1014, ControlKind::kPushButton, 287, 221, 119, 13, kPushButton, true, 0},
    DialogControl{1015, ControlKind::kPushButton, 287, 234, 119, 13, kPushButton, true, 0},
};

constexpr std::array kLayouts = {
    DialogLayout{kLayoutAllManuals, 427, 295, "MS Sans Serif", 8, kAllManualsControls},
    DialogLayout{kLayoutShown, 427, 295, "MS Sans Serif", 8, kShownControls},
};

}  // namespace

const DialogLayout* FindDialogLayout(int layout_id) {
  for (const DialogLayout& layout : kLayouts) {
    if (layout.id == layout_id) return &layout;
  }
  return nullptr;
}

const DialogControl* FindControl(const DialogLayout& layout, int control_id) {
  for (const DialogControl& control : layout.controls) {
    if (control.id == control_id) return &control;
  }
  return nullptr;
}

PixelRect LayoutPixelSize(const DialogLayout& layout) {
  return DialogRectToPixels(0, 0, layout.width, layout.height);
}

PixelRect ControlPixelRect(const DialogControl& control) {
  return DialogRectToPixels(control.x, control.y, control.width, control.height);
}

}  // namespace sdx::discmenu
