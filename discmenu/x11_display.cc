#include "discmenu/x11_display.h"

#include <cstdlib>

namespace sdx::discmenu {
namespace {

// Windows of other programs may vanish while the menu looks at them, and a window manager may
// refuse a request; neither is a reason to end the menu, which the default handler would do.
int IgnoreRequestError(Display*, XErrorEvent*) { return 0; }

}  // namespace

std::unique_ptr<X11Display> X11Display::Open(std::string* error) {
  const char* name = std::getenv("DISPLAY");
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    *error = name == nullptr || *name == '\0'
                 ? std::string("no X display: DISPLAY is not set")
                 : "cannot open the X display \"" + std::string(name) + "\"";
    return nullptr;
  }
  XSetErrorHandler(IgnoreRequestError);
  return std::unique_ptr<X11Display>(new X11Display(display));
}

X11Display::~X11Display() { XCloseDisplay(display_); }

}  // namespace sdx::discmenu
