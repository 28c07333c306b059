// Finds a top-level window by class and title, the way a second start of the menu finds the
// first: among the root window's children, shown or not, and the window manager's client
// list. Used by the X11 platform's running-menu test.
#pragma once

#include <X11/Xlib.h>

#include <string_view>

namespace sdx::discmenu {

bool TopLevelWindowExists(Display* display, std::string_view window_class, std::string_view title);

// Sets the names another start looks for: the class hint and both the legacy and the
// UTF-8 window name.
void SetWindowIdentity(Display* display, Window window, std::string_view window_class,
                       std::string_view title);

}  // namespace sdx::discmenu
