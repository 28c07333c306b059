#include "discmenu/dialog_units.h"

#include <cstdint>

namespace sdx::discmenu {

int MulDiv(int value, int numerator, int denominator) {
  if (denominator == 0) return 0;
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const bool negative = (product < 0) != (denominator < 0);
  const int64_t magnitude = product < 0 ? -product : product;
  const int64_t divisor = denominator < 0 ? -static_cast<int64_t>(denominator) : denominator;
  const int64_t rounded = (magnitude + divisor / 2) / divisor;
  return static_cast<int>(negative ? -rounded : rounded);
}

int DialogUnitsToPixelsX(int units) { return MulDiv(units, kBaseUnitX, 4); }

int DialogUnitsToPixelsY(int units) { return MulDiv(units, kBaseUnitY, 8); }

PixelRect DialogRectToPixels(int x, int y, int width, int height) {
  return PixelRect{DialogUnitsToPixelsX(x), DialogUnitsToPixelsY(y), DialogUnitsToPixelsX(width),
                   DialogUnitsToPixelsY(height)};
}

}  // namespace sdx::discmenu
