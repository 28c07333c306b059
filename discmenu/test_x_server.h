// A private X server (Xvfb) for the menu's end-to-end test, and the few looks at it the test
// needs: the menu's shown window, its place, the screen's pixels, the keyboard focus, and the
// window manager's close request. Keeps Xlib's names out of the test itself.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "discmenu/dialog_units.h"
#include "discmenu/indexed_bitmap.h"

struct _XDisplay;

namespace sdx::discmenu {

class TestXServer {
 public:
  // Starts Xvfb on a display number it picks itself, with a 1024 x 768 true-colour screen.
  explicit TestXServer(const std::string& log_file);
  TestXServer(const TestXServer&) = delete;
  TestXServer& operator=(const TestXServer&) = delete;
  ~TestXServer();

  // ":N", or empty when the server did not start.
  const std::string& name() const { return name_; }
  bool connected() const { return display_ != nullptr; }

  // A shown top-level window whose class hint has that class; 0 when there is none.
  unsigned long FindShownWindow(std::string_view window_class);
  PixelRect WindowOnScreen(unsigned long window);
  PixelRect Screen();
  // The screen's colours in the area, row by row; empty when they cannot be read.
  std::vector<Rgb> Capture(PixelRect area);
  unsigned long FocusWindow();
  // What a window manager sends when its close box is pressed.
  void SendCloseRequest(unsigned long window);

 private:
  pid_t server_ = -1;
  std::string name_;
  _XDisplay* display_ = nullptr;
};

}  // namespace sdx::discmenu
