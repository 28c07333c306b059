#include "discmenu/menu_dialog.h"

#include <utility>

#include "discmenu/menu_commands.h"

namespace sdx::discmenu {

MenuDialog::MenuDialog(ProgramStarter start_program) : start_program_(std::move(start_program)) {}

void MenuDialog::OnInitDialog(DialogWindow& window) {
  // Every button of either layout is offered its bitmap; the shown layout lacks most of them,
  // and those offers fall through.
  for (int control_id : BitmapButtonControls()) {
    window.SetButtonImage(control_id, BitmapForControl(control_id));
  }
  window.Redraw();
}

void MenuDialog::OnCommand(DialogWindow& window, uint32_t command) {
  const int control_id = static_cast<int>(command & 0xFFFF);
  if (control_id == kCloseControl) {
    window.EndDialog(0);
    window.PostDestroyToOwner();
    return;
  }
  const std::string_view command_line = CommandLineForControl(control_id);
  if (!command_line.empty()) start_program_(command_line);
}

}  // namespace sdx::discmenu
