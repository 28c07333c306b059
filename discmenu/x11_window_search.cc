#include "discmenu/x11_window_search.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <string>
#include <vector>

namespace sdx::discmenu {
namespace {

std::vector<Window> RootChildren(Display* display) {
  Window root_return = None;
  Window parent_return = None;
  Window* children = nullptr;
  unsigned int count = 0;
  std::vector<Window> windows;
  if (XQueryTree(display, DefaultRootWindow(display), &root_return, &parent_return, &children,
                 &count) != 0 &&
      children != nullptr) {
    windows.assign(children, children + count);
  }
  if (children != nullptr) XFree(children);
  return windows;
}

// A window manager reparents the windows it shows into frames; its client list names them.
std::vector<Window> ClientList(Display* display) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  std::vector<Window> windows;
  const Atom client_list = XInternAtom(display, "_NET_CLIENT_LIST", True);
  if (client_list != None &&
      XGetWindowProperty(display, DefaultRootWindow(display), client_list, 0, 1 << 16, False,
                         XA_WINDOW, &type, &format, &count, &remaining, &data) == Success &&
      data != nullptr && type == XA_WINDOW && format == 32) {
    const auto* ids = reinterpret_cast<const unsigned long*>(data);
    windows.assign(ids, ids + count);
  }
  if (data != nullptr) XFree(data);
  return windows;
}

bool HasClass(Display* display, Window window, std::string_view window_class) {
  XClassHint hint{};
  if (XGetClassHint(display, window, &hint) == 0) return false;
  const bool same = hint.res_class != nullptr && window_class == hint.res_class;
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  return same;
}

bool HasTitle(Display* display, Window window, std::string_view title) {
  const Atom net_name = XInternAtom(display, "_NET_WM_NAME", True);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", True);
  if (net_name != None && utf8 != None) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    bool same = false;
    if (XGetWindowProperty(display, window, net_name, 0, 4096, False, utf8, &type, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr && type == utf8 && format == 8) {
      same = title == std::string_view(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr) XFree(data);
    if (same) return true;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) == 0 || name == nullptr) return false;
  const bool same = title == name;
  XFree(name);
  return same;
}

}  // namespace

bool TopLevelWindowExists(Display* display, std::string_view window_class, std::string_view title) {
  std::vector<Window> candidates = RootChildren(display);
  const std::vector<Window> clients = ClientList(display);
  candidates.insert(candidates.end(), clients.begin(), clients.end());
  for (Window window : candidates) {
    if (HasClass(display, window, window_class) && HasTitle(display, window, title)) return true;
  }
  return false;
}

void SetWindowIdentity(Display* display, Window window, std::string_view window_class,
                       std::string_view title) {
  std::string res_name = "discmenu";
  std::string res_class(window_class);
  XClassHint hint{res_name.data(), res_class.data()};
  XSetClassHint(display, window, &hint);
  const std::string name(title);
  XStoreName(display, window, name.c_str());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(name.data()),
                  static_cast<int>(name.size()));
}

}  // namespace sdx::discmenu
