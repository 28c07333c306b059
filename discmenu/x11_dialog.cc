#include "discmenu/x11_dialog.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <utility>

#include "discmenu/bitmap_resources.h"
#include "discmenu/button_image.h"
#include "discmenu/menu_startup.h"
#include "discmenu/x11_window_search.h"

namespace sdx::discmenu {
namespace {

// The Motif hints that window managers read for decorations: none at all, and no functions
// but moving, so no close box is offered.
struct MotifHints {
  unsigned long flags;
  unsigned long functions;
  unsigned long decorations;
  long input_mode;
  unsigned long status;
};
constexpr unsigned long kMotifFunctions = 1;
constexpr unsigned long kMotifDecorations = 2;
constexpr unsigned long kMotifFunctionMove = 4;

void SetManagerHints(Display* display, Window window, Window owner, PixelRect place) {
  MotifHints motif{kMotifFunctions | kMotifDecorations, kMotifFunctionMove, 0, 0, 0};
  const Atom motif_atom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(display, window, motif_atom, motif_atom, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&motif), 5);

  XSizeHints size{};
  size.flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
  size.x = place.x;
  size.y = place.y;
  size.width = size.min_width = size.max_width = place.width;
  size.height = size.min_height = size.max_height = place.height;
  XSetWMNormalHints(display, window, &size);

  XWMHints wm{};
  wm.flags = InputHint | StateHint;
  wm.input = True;
  wm.initial_state = NormalState;
  XSetWMHints(display, window, &wm);

  XSetTransientForHint(display, window, owner);
  const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
  const Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(display, window, type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&dialog), 1);
}

}  // namespace

std::unique_ptr<X11Dialog> X11Dialog::Create(X11Display& display, const DialogLayout& layout,
                                             Window owner, const PixmapStore& bitmaps,
                                             MenuDialog& procedure,
                                             std::function<void()> post_destroy_owner) {
  std::unique_ptr<X11Dialog> dialog(
      new X11Dialog(display, layout, bitmaps, procedure, std::move(post_destroy_owner)));
  if (!dialog->MakeWindow(owner)) return nullptr;
  return dialog;
}

X11Dialog::X11Dialog(X11Display& display, const DialogLayout& layout, const PixmapStore& bitmaps,
                     MenuDialog& procedure, std::function<void()> post_destroy_owner)
    : display_(display),
      bitmaps_(bitmaps),
      procedure_(procedure),
      post_destroy_owner_(std::move(post_destroy_owner)),
      size_(LayoutPixelSize(layout)) {
  for (const DialogControl& control : layout.controls) {
    if (control.kind == ControlKind::kPushButton && control.visible) {
      buttons_.push_back(Button{control.id, ControlPixelRect(control)});
    }
    // The dialog loads its background itself, as the platform's dialogs load a bitmap static.
    if (control.kind == ControlKind::kBitmapStatic && control.visible && background_ == nullptr) {
      if (auto bitmap = LoadBitmapResource(control.bitmap_id)) {
        background_ = X11Pixmap::Create(display.get(), *bitmap);
      }
    }
  }
}

X11Dialog::~X11Dialog() {
  Display* display = display_.get();
  if (gc_ != nullptr) XFreeGC(display, gc_);
  if (canvas_ != None) XFreePixmap(display, canvas_);
  if (window_ != None) XDestroyWindow(display, window_);
  XFlush(display);
}

bool X11Dialog::MakeWindow(Window owner) {
  Display* display = display_.get();
  const int screen = DefaultScreen(display);
  // Centred on the screen, as the layout asks.
  size_.x = (DisplayWidth(display, screen) - size_.width) / 2;
  size_.y = (DisplayHeight(display, screen) - size_.height) / 2;

  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask |
                          KeyPressMask | StructureNotifyMask;
  window_ = XCreateWindow(display, display_.root(), size_.x, size_.y, size_.width, size_.height, 0,
                          CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask,
                          &attributes);
  if (window_ == None) return false;
  SetWindowIdentity(display, window_, kMenuWindowClass, "Alertweave");
  SetManagerHints(display, window_, owner, size_);
  protocols_ = display_.Intern("WM_PROTOCOLS");
  delete_window_ = display_.Intern("WM_DELETE_WINDOW");
  XSetWMProtocols(display, window_, &delete_window_, 1);

  canvas_ =
      XCreatePixmap(display, window_, size_.width, size_.height, DefaultDepth(display, screen));
  gc_ = XCreateGC(display, window_, 0, nullptr);
  return canvas_ != None && gc_ != nullptr;
}

void X11Dialog::Open() {
  procedure_.OnInitDialog(*this);
  XMapRaised(display_.get(), window_);
}

bool X11Dialog::SetButtonImage(int control_id, int bitmap_id) {
  const auto bitmap = bitmaps_.find(bitmap_id);
  if (bitmap == bitmaps_.end()) return false;
  for (Button& button : buttons_) {
    if (button.control_id != control_id) continue;
    button.image = bitmap->second.get();
    return true;
  }
  return false;
}

void X11Dialog::Redraw() { Paint(); }

void X11Dialog::EndDialog(int) {
  ended_ = true;
  XUnmapWindow(display_.get(), window_);
}

void X11Dialog::PostDestroyToOwner() { post_destroy_owner_(); }

void X11Dialog::Paint() {
  Display* display = display_.get();
  XSetForeground(display, gc_, BlackPixel(display, DefaultScreen(display)));
  XFillRectangle(display, canvas_, gc_, 0, 0, size_.width, size_.height);
  if (background_ != nullptr) {
    XCopyArea(display, background_->get(), canvas_, gc_, 0, 0, background_->width(),
              background_->height(), 0, 0);
  }
  for (const Button& button : buttons_) {
    if (button.image == nullptr) continue;
    const bool pushed = pushed_ && tracked_control_ == button.control_id;
    const ImagePlacement place =
        PlaceButtonImage(button.rect, button.image->width(), button.image->height(), pushed);
    if (place.width > 0) {
      XCopyArea(display, button.image->get(), canvas_, gc_, place.source_x, place.source_y,
                place.width, place.height, place.dest_x, place.dest_y);
    }
    if (pushed) {
      XDrawRectangle(display, canvas_, gc_, button.rect.x, button.rect.y, button.rect.width - 1,
                     button.rect.height - 1);
    }
  }
  XCopyArea(display, canvas_, window_, gc_, 0, 0, size_.width, size_.height, 0, 0);
}

X11Dialog::Button* X11Dialog::ButtonAt(int x, int y) {
  for (Button& button : buttons_) {
    if (button.rect.Contains(x, y)) return &button;
  }
  return nullptr;
}

void X11Dialog::Command(int control_id) {
  procedure_.OnCommand(*this, static_cast<uint32_t>(control_id) & 0xFFFF);
}

void X11Dialog::HandleEvent(const XEvent& event) {
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) Paint();
      break;
    case MapNotify:
      // A modal dialog takes the keyboard when it appears; without a window manager nobody
      // else would give it.
      XSetInputFocus(display_.get(), window_, RevertToParent, CurrentTime);
      break;
    case ButtonPress:
      if (event.xbutton.button != Button1) break;
      if (Button* button = ButtonAt(event.xbutton.x, event.xbutton.y)) {
        tracked_control_ = button->control_id;
        pushed_ = true;
        Paint();
      }
      break;
    case MotionNotify: {
      if (tracked_control_ == 0) break;
      const Button* button = ButtonAt(event.xmotion.x, event.xmotion.y);
      const bool over = button != nullptr && button->control_id == tracked_control_;
      if (over != pushed_) {
        pushed_ = over;
        Paint();
      }
      break;
    }
    case ButtonRelease: {
      if (event.xbutton.button != Button1 || tracked_control_ == 0) break;
      const Button* button = ButtonAt(event.xbutton.x, event.xbutton.y);
      const int control_id = tracked_control_;
      const bool clicked = button != nullptr && button->control_id == control_id;
      tracked_control_ = 0;
      pushed_ = false;
      Paint();
      if (clicked) Command(control_id);
      break;
    }
    case KeyPress: {
      XKeyEvent key = event.xkey;
      const KeySym symbol = XLookupKeysym(&key, 0);
      if (symbol == XK_Escape) Command(kCancelCommand);
      if (symbol == XK_Return || symbol == XK_KP_Enter) Command(kOkCommand);
      break;
    }
    case ClientMessage:
      if (event.xclient.message_type == protocols_ &&
          static_cast<Atom>(event.xclient.data.l[0]) == delete_window_) {
        Command(kCancelCommand);
      }
      break;
    default:
      break;
  }
}

}  // namespace sdx::discmenu
