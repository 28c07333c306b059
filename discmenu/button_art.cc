#include "discmenu/bitmap_font.h"
#include "discmenu/menu_art.h"

namespace sdx::discmenu {
namespace {

enum : uint8_t {
  kBlue0 = 0,
  kBevelLight = 4,
  kBevelDark = 5,
  kText = 6,
  kTextShadow = 7,
  kOrange0 = 8,
  kOrangeBevel = 12,
  kGrey0 = 13,
  kGrey1 = 14,
};

constexpr Rgb kButtonPalette[16] = {
    {62, 110, 156},  {48, 94, 140},  {38, 78, 122},  {28, 62, 104},  {150, 192, 220}, {8, 18, 36},
    {255, 255, 255}, {10, 22, 40},   {255, 176, 84}, {250, 150, 40}, {226, 122, 22},  {196, 96, 10},
    {255, 218, 166}, {92, 104, 122}, {66, 76, 92},   {0, 0, 0},
};

uint8_t FaceColour(ButtonLook look, int band) {
  switch (look) {
    case ButtonLook::kPrimary:
      return static_cast<uint8_t>(kOrange0 + band);
    case ButtonLook::kClose:
      return band < 2 ? kGrey0 : kGrey1;
    case ButtonLook::kManual:
      break;
  }
  return static_cast<uint8_t>(kBlue0 + band);
}

// A small orange arrow before a manual's title.
void DrawBullet(IndexedBitmap& bitmap, int x, int y) {
  for (int row = 0; row < kFontCapHeight; ++row) {
    const int reach = row < kFontCapHeight / 2 ? row : kFontCapHeight - 1 - row;
    bitmap.FillRect(x, y + row, reach + 1, 1, kOrange0 + 1);
  }
}

}  // namespace

IndexedBitmap PaintButtonFace(int width, int height, PixelRect plate, ButtonLook look,
                              std::string_view label) {
  IndexedBitmap bitmap(width, height, 4);
  for (int i = 0; i < 16; ++i) bitmap.palette[i] = kButtonPalette[i];
  bitmap.FillRect(0, 0, width, height, kBevelDark);

  // Four bands from light at the top to dark at the bottom, then a one-pixel bevel.
  for (int row = 0; row < plate.height; ++row) {
    const int band = row * 4 / plate.height;
    bitmap.FillRect(plate.x, plate.y + row, plate.width, 1, FaceColour(look, band));
  }
  const uint8_t light = look == ButtonLook::kPrimary ? kOrangeBevel : kBevelLight;
  bitmap.FillRect(plate.x, plate.y, plate.width, 1, light);
  bitmap.FillRect(plate.x, plate.y, 1, plate.height, light);
  bitmap.FillRect(plate.x, plate.y + plate.height - 1, plate.width, 1, kBevelDark);
  bitmap.FillRect(plate.x + plate.width - 1, plate.y, 1, plate.height, kBevelDark);

  const TextStyle style{look == ButtonLook::kPrimary ? 2 : 1, look == ButtonLook::kPrimary};
  const int text_height = kFontCapHeight * style.scale;
  const int text_y = plate.y + (plate.height - text_height) / 2;
  int text_x = plate.x + (plate.width - TextWidth(label, style)) / 2;
  if (look == ButtonLook::kManual) {
    DrawBullet(bitmap, plate.x + 8, text_y);
    text_x = plate.x + 18;
  }
  DrawText(bitmap, text_x + 1, text_y + 1, label, style, kTextShadow);
  DrawText(bitmap, text_x, text_y, label, style, kText);
  return bitmap;
}

}  // namespace sdx::discmenu
