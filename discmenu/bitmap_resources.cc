#include "discmenu/bitmap_resources.h"

#include <array>
#include <string_view>

#include "discmenu/menu_art.h"

namespace sdx::discmenu {
namespace {

enum class Picture { kButton, kBackground };

struct Resource {
  BitmapResourceInfo info;
  Picture picture;
  ButtonLook look;
  std::string_view label;
  // The part of a button face that its button shows: buttons are a little smaller than their
  // bitmaps and show them centred.
  PixelRect plate;
  // The top and bottom of a background's layout's column of manuals, in pixels.
  int manuals_top = 0;
  int manuals_bottom = 0;
};

constexpr PixelRect kFullManual{0, 0, 175, 21};

// 122 and 123 are spare faces that no layout uses.
constexpr std::array kResources = {
    Resource{{105, 174, 33, 4}, Picture::kButton, ButtonLook::kPrimary, "Install", {0, 2, 174, 28}},
    Resource{{109, 51, 31, 4}, Picture::kButton, ButtonLook::kClose, "Close", {1, 3, 48, 24}},
    Resource{{111, 175, 21, 4},
             Picture::kButton,
             ButtonLook::kManual,
             "Installation guide",
             kFullManual},
    Resource{
        {118, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "Getting started", kFullManual},
    Resource{{122, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "Read me", kFullManual},
    Resource{{123, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "Support", kFullManual},
    Resource{
        {124, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "Paging devices", kFullManual},
    Resource{
        {125, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "Escalation rules", kFullManual},
    Resource{
        {126, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "Web event viewer", kFullManual},
    Resource{
        {127, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "Administration", kFullManual},
    Resource{
        {128, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "Operations desk", kFullManual},
    Resource{{129, 640, 480, 8}, Picture::kBackground, ButtonLook::kManual, "", {}, 213, 401},
    Resource{{130, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "Licensing", kFullManual},
    Resource{{131, 640, 480, 8}, Picture::kBackground, ButtonLook::kManual, "", {}, 213, 234},
    Resource{{135, 175, 21, 4}, Picture::kButton, ButtonLook::kManual, "User manual", kFullManual},
};

constexpr std::array<BitmapResourceInfo, kResources.size()> InfoTable() {
  std::array<BitmapResourceInfo, kResources.size()> infos{};
  for (size_t i = 0; i < kResources.size(); ++i) infos[i] = kResources[i].info;
  return infos;
}

constexpr std::array kInfos = InfoTable();

}  // namespace

std::span<const BitmapResourceInfo> BitmapResources() { return kInfos; }

std::optional<IndexedBitmap> LoadBitmapResource(int id) {
  for (const Resource& resource : kResources) {
    if (resource.info.id != id) continue;
    const BitmapResourceInfo& info = resource.info;
    if (resource.picture == Picture::kBackground) {
      return PaintBackground(info.width, info.height, resource.manuals_top,
                             resource.manuals_bottom);
    }
    return PaintButtonFace(info.width, info.height, resource.plate, resource.look, resource.label);
  }
  return std::nullopt;
}

}  // namespace sdx::discmenu
