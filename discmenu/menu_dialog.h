// The menu dialog's procedure: gives the buttons their bitmaps when the dialog opens and acts
// on the buttons' commands. Knows nothing of the window system; the X11 dialog calls it with
// itself as the DialogWindow, the tests with a fake.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace sdx::discmenu {

// The command ids the dialog gets from Enter and from Escape or the window's close request.
inline constexpr int kOkCommand = 1;
inline constexpr int kCancelCommand = 2;

// What the procedure may do to the window it runs in.
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  // Shows a loaded bitmap on a bitmap push button; false when the layout has no such button
  // or the bitmap is not loaded.
  virtual bool SetButtonImage(int control_id, int bitmap_id) = 0;
  virtual void Redraw() = 0;
  // Ends the modal loop of the dialog after the current message.
  virtual void EndDialog(int result) = 0;
  // Posts the destroy message to the window that owns the dialog.
  virtual void PostDestroyToOwner() = 0;
};

class MenuDialog {
 public:
  using ProgramStarter = std::function<void(std::string_view command_line)>;

  explicit MenuDialog(ProgramStarter start_program);

  void OnInitDialog(DialogWindow& window);
  // `command` as the platform packs it: control id in the low 16 bits, notification code in
  // the high 16, which no button of the menu needs.
  void OnCommand(DialogWindow& window, uint32_t command);

 private:
  ProgramStarter start_program_;
};

}  // namespace sdx::discmenu
