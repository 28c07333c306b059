// DiscMenu: the start menu of the product's distribution disc. Copies the module list for the
// installer, then shows the dialog of bitmap buttons until its close button is pressed.
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "discmenu/menu_dialog.h"
#include "discmenu/menu_startup.h"
#include "discmenu/module_list.h"
#include "discmenu/program_launcher.h"
#include "discmenu/x11_display.h"
#include "discmenu/x11_menu_platform.h"

int main(int argc, char** argv) {
  using namespace sdx::discmenu;
  const std::string command_line = JoinCommandLine(argc, argv);
  std::error_code error;
  const std::string current_folder = std::filesystem::current_path(error).string();

  std::string reason;
  std::unique_ptr<X11Display> display = X11Display::Open(&reason);
  if (display == nullptr) {
    std::fprintf(stderr, "discmenu: %s; the menu needs a running X server\n", reason.c_str());
    return 1;
  }

  // The installer and the reader run on their own; ignoring their ends lets the system reap
  // them, so none stays behind as a zombie while the menu is open.
  signal(SIGCHLD, SIG_IGN);

  MenuDialog dialog([](std::string_view started) { StartProgram(started); });
  X11MenuPlatform platform(*display);
  return RunDiscMenu(command_line, current_folder, platform, dialog);
}
