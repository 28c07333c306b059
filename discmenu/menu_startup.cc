#include "discmenu/menu_startup.h"

#include "discmenu/dialog_layout.h"
#include "discmenu/menu_commands.h"
#include "discmenu/module_list.h"

namespace sdx::discmenu {

int RunDiscMenu(std::string_view command_line, std::string_view current_folder,
                MenuPlatform& platform, MenuDialog& dialog) {
  // The copy comes first, so that a second start from the disc still refreshes the list.
  CopyModuleList(command_line, current_folder);
  if (platform.MenuIsRunning(kMenuWindowClass, kMenuWindowTitle)) return 0;
  if (!platform.RegisterMenuClass(kMenuWindowClass)) return 0;
  if (!platform.CreateMainWindow(kMenuWindowClass, kMenuWindowTitle)) return 0;
  platform.LoadButtonBitmaps(ButtonBitmapIds());
  // Without its dialog the menu would wait unseen for a close button nobody can press.
  if (!platform.ShowDialog(kLayoutShown, dialog)) return 0;
  return platform.RunMessageLoop();
}

}  // namespace sdx::discmenu
