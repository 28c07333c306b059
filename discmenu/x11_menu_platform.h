// The menu's start-up steps on X11: the window search, the hidden main window, the loaded
// button bitmaps, the modal dialog and the message loop with its own small queue of posted
// messages. Made by main; owns the main window, the bitmaps and the dialog while it runs.
#pragma once

#include <X11/Xlib.h>

#include <deque>
#include <functional>
#include <memory>

#include "discmenu/menu_startup.h"
#include "discmenu/x11_dialog.h"
#include "discmenu/x11_display.h"
#include "discmenu/x11_pixmap.h"

namespace sdx::discmenu {

class X11MenuPlatform : public MenuPlatform {
 public:
  explicit X11MenuPlatform(X11Display& display) : display_(display) {}
  X11MenuPlatform(const X11MenuPlatform&) = delete;
  X11MenuPlatform& operator=(const X11MenuPlatform&) = delete;
  ~X11MenuPlatform() override;

  bool MenuIsRunning(std::string_view window_class, std::string_view title) override;
  bool RegisterMenuClass(std::string_view window_class) override;
  bool CreateMainWindow(std::string_view window_class, std::string_view title) override;
  void LoadButtonBitmaps(std::span<const int> bitmap_ids) override;
  bool ShowDialog(int layout_id, MenuDialog& dialog) override;
  int RunMessageLoop() override;

 private:
  enum class Posted { kDestroyMain };

  // Handles posted messages and X events until `done` holds.
  void Pump(const std::function<bool()>& done);
  // The main window's answer to its destroy message: free the bitmaps, go, and quit with 0.
  void OnMainDestroy();

  X11Display& display_;
  Window main_window_ = None;
  PixmapStore bitmaps_;
  std::unique_ptr<X11Dialog> dialog_;
  std::deque<Posted> posted_;
  bool quit_ = false;
  int quit_code_ = 0;
};

}  // namespace sdx::discmenu
