#include "discmenu/test_x_server.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "discmenu/test_process.h"

namespace sdx::discmenu {

TestXServer::TestXServer(const std::string& log_file) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  // Xvfb writes the display number it chose to the descriptor once it accepts clients.
  SpawnOptions options;
  options.error_file = log_file;
  options.keep_fd = fds[1];
  server_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                   "-nolisten", "tcp"},
                  options);
  close(fds[1]);
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  pollfd ready{fds[0], POLLIN, 0};
  while (std::chrono::steady_clock::now() < deadline) {
    if (poll(&ready, 1, 100) <= 0) continue;
    char c = 0;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) return;
  name_ = ":" + number;
  display_ = XOpenDisplay(name_.c_str());
}

TestXServer::~TestXServer() {
  if (display_ != nullptr) XCloseDisplay(display_);
  if (server_ > 0) {
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
  }
}

unsigned long TestXServer::FindShownWindow(std::string_view window_class) {
  Window root_return = None;
  Window parent_return = None;
  Window* children = nullptr;
  unsigned int count = 0;
  Window found = None;
  XQueryTree(display_, DefaultRootWindow(display_), &root_return, &parent_return, &children,
             &count);
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, children[i], &attributes) == 0 ||
        attributes.map_state != IsViewable) {
      continue;
    }
    XClassHint hint{};
    if (XGetClassHint(display_, children[i], &hint) == 0) continue;
    if (hint.res_class != nullptr && window_class == hint.res_class) found = children[i];
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
  }
  if (children != nullptr) XFree(children);
  return found;
}

PixelRect TestXServer::WindowOnScreen(unsigned long window) {
  Window child = None;
  int x = 0;
  int y = 0;
  XWindowAttributes attributes{};
  XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
  XGetWindowAttributes(display_, window, &attributes);
  return PixelRect{x, y, attributes.width, attributes.height};
}

PixelRect TestXServer::Screen() {
  return PixelRect{0, 0, DisplayWidth(display_, 0), DisplayHeight(display_, 0)};
}

std::vector<Rgb> TestXServer::Capture(PixelRect area) {
  std::vector<Rgb> colours;
  Visual* visual = DefaultVisual(display_, 0);
  if (visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
    return colours;
  }
  XImage* image = XGetImage(display_, DefaultRootWindow(display_), area.x, area.y, area.width,
                            area.height, AllPlanes, ZPixmap);
  if (image == nullptr) return colours;
  colours.reserve(static_cast<size_t>(area.width) * area.height);
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      colours.push_back(Rgb{static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                            static_cast<uint8_t>(pixel)});
    }
  }
  XDestroyImage(image);
  return colours;
}

unsigned long TestXServer::FocusWindow() {
  Window focus = None;
  int revert = 0;
  XGetInputFocus(display_, &focus, &revert);
  return focus;
}

void TestXServer::SendCloseRequest(unsigned long window) {
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  close.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &close);
  XSync(display_, False);
}

}  // namespace sdx::discmenu
