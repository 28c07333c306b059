// The menu's start-up in its fixed order: copy the module list, leave when a menu already
// runs, make the hidden main window, load the button bitmaps, show the dialog, run the loop.
// main runs it over the X11 platform; the tests over a fake that records the calls.
#pragma once

#include <span>
#include <string_view>

#include "discmenu/menu_dialog.h"

namespace sdx::discmenu {

// The hidden main window's class and title; together they identify a running menu.
inline constexpr std::string_view kMenuWindowClass = "Vantorel Suite";
inline constexpr std::string_view kMenuWindowTitle =
    "Main Menu - Alertweave distribution disc, (c) Vantorel Software";

// What start-up needs from the window system.
class MenuPlatform {
 public:
  virtual ~MenuPlatform() = default;
  // Whether a top-level window of that class and title exists, shown or not.
  virtual bool MenuIsRunning(std::string_view window_class, std::string_view title) = 0;
  virtual bool RegisterMenuClass(std::string_view window_class) = 0;
  // Creates the main window without showing it.
  virtual bool CreateMainWindow(std::string_view window_class, std::string_view title) = 0;
  virtual void LoadButtonBitmaps(std::span<const int> bitmap_ids) = 0;
  // Shows the layout modally, owned by the main window, until the procedure ends it; false
  // when the dialog cannot be shown at all.
  virtual bool ShowDialog(int layout_id, MenuDialog& dialog) = 0;
  // Runs until the quit message and returns its code.
  virtual int RunMessageLoop() = 0;
};

// Returns the program's exit code.
int RunDiscMenu(std::string_view command_line, std::string_view current_folder,
                MenuPlatform& platform, MenuDialog& dialog);

}  // namespace sdx::discmenu
