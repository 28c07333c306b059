#include "discmenu/menu_commands.h"

#include <array>

namespace sdx::discmenu {
namespace {

struct ControlEntry {
  int control_id;
  int bitmap_id;
  std::string_view command_line;
};

// The installer and the reader are found the way the platform finds a program: a name with a
// folder is relative to the current folder (the disc), a bare name is looked up.
constexpr std::array kControls = {
    ControlEntry{1000, 105, "product/master.exe"},
    ControlEntry{1006, 109, ""},
    ControlEntry{1007, 135, "acrord32.exe document/alertweave.pdf"},
    ControlEntry{1008, 118, "Acrobat.exe document/alertweave.pdf"},
    ControlEntry{1009, 111, "Acrobat.exe document/alertweave.pdf"},
    ControlEntry{1010, 124, "Acrobat.exe document/alertweave.pdf"},
    ControlEntry{1011, 125, "Acrobat.exe document/alertweave.pdf"},
    ControlEntry{1012, 126, "Acrobat.exe document/alertweave.pdf"},
    ControlEntry{1013, 127, "Acrobat.exe document/alertweave.pdf"},
    ControlEntry{1014, 128, "Acrobat.exe document/opsdesk.pdf"},
    ControlEntry{1015, 130, "Acrobat.exe document/InternetLicensing.pdf"},
};

constexpr std::array kBitmapButtonControls = {1000, 1006, 1007, 1008, 1009, 1010,
                                              1011, 1012, 1013, 1014, 1015};

constexpr std::array kButtonBitmapIds = {105, 109, 135, 118, 111, 124, 125, 126, 127, 128, 130};

const ControlEntry* FindEntry(int control_id) {
  for (const ControlEntry& entry : kControls) {
    if (entry.control_id == control_id) return &entry;
  }
  return nullptr;
}

}  // namespace

std::string_view CommandLineForControl(int control_id) {
  const ControlEntry* entry = FindEntry(control_id);
  return entry == nullptr ? std::string_view() : entry->command_line;
}

int BitmapForControl(int control_id) {
  const ControlEntry* entry = FindEntry(control_id);
  return entry == nullptr ? 0 : entry->bitmap_id;
}

std::span<const int> BitmapButtonControls() { return kBitmapButtonControls; }

std::span<const int> ButtonBitmapIds() { return kButtonBitmapIds; }

}  // namespace sdx::discmenu
