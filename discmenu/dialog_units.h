// Dialog units to pixels, the way the platform's dialog manager converts a layout written in
// the units of its font. Used by the layout data, the X11 dialog and the tests that check where
// each control lands on screen.
#pragma once

namespace sdx::discmenu {

// The average character cell of "MS Sans Serif" 8 at 96 DPI: 6 pixels wide, 13 high. A
// horizontal dialog unit is a quarter of the width, a vertical one an eighth of the height.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

// value * numerator / denominator with the half rounded away from zero, like the platform's
// MulDiv; 0 for a zero denominator.
int MulDiv(int value, int numerator, int denominator);

int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  bool Contains(int px, int py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
  bool operator==(const PixelRect&) const = default;
};

// Each of position and size is converted on its own, as the dialog manager creates controls.
PixelRect DialogRectToPixels(int x, int y, int width, int height);

}  // namespace sdx::discmenu
