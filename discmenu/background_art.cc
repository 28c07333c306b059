#include <algorithm>
#include <cmath>
#include <numbers>

#include "discmenu/bitmap_font.h"
#include "discmenu/menu_art.h"

namespace sdx::discmenu {
namespace {

// Palette: a 128-step ramp for the sky, a 64-step ramp for the woven threads, then the few
// flat colours of the words.
constexpr int kSkySteps = 128;
constexpr int kThreadFirst = 128;
constexpr int kThreadSteps = 64;
enum : uint8_t {
  kWhite = 192,
  kLightText = 193,
  kShadow = 194,
  kOrange = 195,
  kDimText = 196,
  kPanel = 197,
  kPanelEdge = 198,
};

Rgb Mix(Rgb from, Rgb to, double t) {
  auto channel = [t](uint8_t a, uint8_t b) {
    return static_cast<uint8_t>(std::lround(a + (b - a) * t));
  };
  return Rgb{channel(from.red, to.red), channel(from.green, to.green), channel(from.blue, to.blue)};
}

void FillPalette(IndexedBitmap& bitmap) {
  for (int i = 0; i < kSkySteps; ++i) {
    bitmap.palette[i] = Mix({8, 18, 44}, {18, 88, 112}, i / double(kSkySteps - 1));
  }
  for (int i = 0; i < kThreadSteps; ++i) {
    bitmap.palette[kThreadFirst + i] =
        Mix({36, 86, 132}, {86, 186, 196}, i / double(kThreadSteps - 1));
  }
  bitmap.palette[kWhite] = {255, 255, 255};
  bitmap.palette[kLightText] = {206, 226, 236};
  bitmap.palette[kShadow] = {2, 8, 20};
  bitmap.palette[kOrange] = {250, 150, 40};
  bitmap.palette[kDimText] = {128, 166, 186};
  bitmap.palette[kPanel] = {6, 22, 44};
  bitmap.palette[kPanelEdge] = {44, 96, 128};
}

// Three threads that cross and recross in the lower half: the weave of the product's name.
bool OnThread(int x, int y) {
  constexpr double kPeriod = 320.0;
  for (int k = 0; k < 3; ++k) {
    const double phase = 2.0 * std::numbers::pi * (x / kPeriod + k / 3.0);
    const double centre = 390.0 + 30.0 * std::sin(phase);
    if (std::abs(y - centre) < 1.1) return true;
  }
  return false;
}

void PaintSky(IndexedBitmap& bitmap) {
  const double span = bitmap.width * 0.6 + bitmap.height;
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      const double t = (x * 0.6 + y) / span;
      const uint8_t index = OnThread(x, y)
                                ? static_cast<uint8_t>(kThreadFirst + t * (kThreadSteps - 1))
                                : static_cast<uint8_t>(t * (kSkySteps - 1));
      bitmap.Set(x, y, index);
    }
  }
}

void ShadowedText(IndexedBitmap& bitmap, int x, int y, std::string_view text, TextStyle style,
                  uint8_t colour) {
  const int offset = std::max(1, style.scale / 2);
  DrawText(bitmap, x + offset, y + offset, text, style, kShadow);
  DrawText(bitmap, x, y, text, style, colour);
}

// A dark panel with a thin edge behind the manuals' column.
void PaintPanel(IndexedBitmap& bitmap, PixelRect panel) {
  bitmap.FillRect(panel.x, panel.y, panel.width, panel.height, kPanelEdge);
  bitmap.FillRect(panel.x + 1, panel.y + 1, panel.width - 2, panel.height - 2, kPanel);
}

}  // namespace

IndexedBitmap PaintBackground(int width, int height, int manuals_top, int manuals_bottom) {
  IndexedBitmap bitmap(width, height, 8);
  FillPalette(bitmap);
  PaintSky(bitmap);

  ShadowedText(bitmap, 40, 36, "Alertweave", {5, true}, kWhite);
  bitmap.FillRect(42, 84, 300, 3, kOrange);
  ShadowedText(bitmap, 42, 100, "Paging and escalation for technicians on call", {2, false},
               kLightText);
  const std::string_view disc = "Distribution disc";
  DrawText(bitmap, width - 26 - TextWidth(disc, {1, false}), 16, disc, {1, false}, kDimText);

  ShadowedText(bitmap, 26, 250, "Installation", {2, false}, kWhite);
  DrawText(bitmap, 26, 312, "Sets up the paging server and the web viewer", {1, false}, kDimText);

  PaintPanel(bitmap, {421, manuals_top - 42, 199, manuals_bottom - manuals_top + 70});
  ShadowedText(bitmap, 431, manuals_top - 30, "Documentation", {2, false}, kWhite);
  DrawText(bitmap, 431, manuals_bottom + 10, "Opens in your PDF reader", {1, false}, kDimText);

  DrawText(bitmap, 26, height - 30, "Vantorel Software", {1, false}, kDimText);
  return bitmap;
}

}  // namespace sdx::discmenu
