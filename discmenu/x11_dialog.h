// The menu dialog on X11: a borderless window of the layout's size, centred on the screen,
// showing the layout's background bitmap and bitmap buttons. Turns clicks, Escape and the
// window manager's close request into the procedure's commands. Owned by the X11 platform
// for the length of the modal loop; the buttons' pixmaps belong to the platform.
#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <memory>
#include <vector>

#include "discmenu/dialog_layout.h"
#include "discmenu/menu_dialog.h"
#include "discmenu/x11_display.h"
#include "discmenu/x11_pixmap.h"

namespace sdx::discmenu {

class X11Dialog : public DialogWindow {
 public:
  // nullptr when the window cannot be made.
  static std::unique_ptr<X11Dialog> Create(X11Display& display, const DialogLayout& layout,
                                           Window owner, const PixmapStore& bitmaps,
                                           MenuDialog& procedure,
                                           std::function<void()> post_destroy_owner);

  X11Dialog(const X11Dialog&) = delete;
  X11Dialog& operator=(const X11Dialog&) = delete;
  ~X11Dialog() override;

  Window window() const { return window_; }
  bool ended() const { return ended_; }

  // Initialises the procedure and shows the window.
  void Open();
  void HandleEvent(const XEvent& event);

  bool SetButtonImage(int control_id, int bitmap_id) override;
  void Redraw() override;
  void EndDialog(int result) override;
  void PostDestroyToOwner() override;

 private:
  struct Button {
    int control_id;
    PixelRect rect;
    const X11Pixmap* image = nullptr;
  };

  X11Dialog(X11Display& display, const DialogLayout& layout, const PixmapStore& bitmaps,
            MenuDialog& procedure, std::function<void()> post_destroy_owner);
  bool MakeWindow(Window owner);
  void Paint();
  Button* ButtonAt(int x, int y);
  void Command(int control_id);

  X11Display& display_;
  const PixmapStore& bitmaps_;
  MenuDialog& procedure_;
  std::function<void()> post_destroy_owner_;
  PixelRect size_;
  std::vector<Button> buttons_;  // the layout's visible bitmap push buttons
  std::unique_ptr<X11Pixmap> background_;
  Window window_ = None;
  Pixmap canvas_ = None;  // the whole dialog, composed before it goes to the window
  GC gc_ = nullptr;
  Atom protocols_ = None;
  Atom delete_window_ = None;
  int tracked_control_ = 0;  // the button the pointer went down on, while it is held
  bool pushed_ = false;      // whether the pointer is still over that button
  bool ended_ = false;
};

}  // namespace sdx::discmenu
