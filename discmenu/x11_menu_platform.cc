#include "discmenu/x11_menu_platform.h"

#include "discmenu/bitmap_resources.h"
#include "discmenu/dialog_layout.h"
#include "discmenu/x11_window_search.h"

namespace sdx::discmenu {

X11MenuPlatform::~X11MenuPlatform() {
  dialog_.reset();
  bitmaps_.clear();
  if (main_window_ != None) XDestroyWindow(display_.get(), main_window_);
}

bool X11MenuPlatform::MenuIsRunning(std::string_view window_class, std::string_view title) {
  return TopLevelWindowExists(display_.get(), window_class, title);
}

// X11 has no window classes to register: the class travels with each window as its class
// hint, so an open display is all this step needs.
bool X11MenuPlatform::RegisterMenuClass(std::string_view) { return display_.get() != nullptr; }

bool X11MenuPlatform::CreateMainWindow(std::string_view window_class, std::string_view title) {
  Display* display = display_.get();
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = WhitePixel(display, screen);
  main_window_ = XCreateWindow(display, display_.root(), 0, 0, 640, 480, 0, CopyFromParent,
                               InputOutput, CopyFromParent, CWBackPixel, &attributes);
  if (main_window_ == None) return false;
  SetWindowIdentity(display, main_window_, window_class, title);
  // Another start may look for the window at once; make sure the server has it.
  XSync(display, False);
  return true;
}

void X11MenuPlatform::LoadButtonBitmaps(std::span<const int> bitmap_ids) {
  for (int id : bitmap_ids) {
    std::optional<IndexedBitmap> bitmap = LoadBitmapResource(id);
    if (!bitmap) continue;
    if (auto pixmap = X11Pixmap::Create(display_.get(), *bitmap)) bitmaps_[id] = std::move(pixmap);
  }
}

bool X11MenuPlatform::ShowDialog(int layout_id, MenuDialog& dialog) {
  const DialogLayout* layout = FindDialogLayout(layout_id);
  if (layout == nullptr) return false;
  dialog_ = X11Dialog::Create(display_, *layout, main_window_, bitmaps_, dialog,
                              [this] { posted_.push_back(Posted::kDestroyMain); });
  if (dialog_ == nullptr) return false;
  dialog_->Open();
  Pump([this] { return dialog_ == nullptr || dialog_->ended() || quit_; });
  dialog_.reset();
  return true;
}

int X11MenuPlatform::RunMessageLoop() {
  Pump([this] { return quit_; });
  return quit_code_;
}

void X11MenuPlatform::Pump(const std::function<bool()>& done) {
  Display* display = display_.get();
  while (!done()) {
    if (!posted_.empty()) {
      const Posted message = posted_.front();
      posted_.pop_front();
      if (message == Posted::kDestroyMain) OnMainDestroy();
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (dialog_ != nullptr && event.xany.window == dialog_->window()) dialog_->HandleEvent(event);
  }
}

void X11MenuPlatform::OnMainDestroy() {
  // A dialog goes with the window that owns it, before the bitmaps it shows.
  dialog_.reset();
  bitmaps_.clear();
  if (main_window_ != None) {
    XDestroyWindow(display_.get(), main_window_);
    main_window_ = None;
  }
  XFlush(display_.get());
  quit_ = true;
  quit_code_ = 0;
}

}  // namespace sdx::discmenu
