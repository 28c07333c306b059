// The menu's connection to the X server, opened once by main and shared by the windows, the
// pixmaps and the window search. Owns the Display and closes it last.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace sdx::discmenu {

class X11Display {
 public:
  // nullptr, and the reason in `*error`, when no display can be opened.
  static std::unique_ptr<X11Display> Open(std::string* error);

  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;
  ~X11Display();

  Display* get() const { return display_; }
  Window root() const { return DefaultRootWindow(display_); }
  Atom Intern(const char* name) const { return XInternAtom(display_, name, False); }

 private:
  explicit X11Display(Display* display) : display_(display) {}

  Display* display_;
};

}  // namespace sdx::discmenu
