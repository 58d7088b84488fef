#include "nvr/ui/x11_hotkey.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "nvr/core/store/log_messages.h"
#include "nvr/core/store/text_log.h"

namespace nvrui {
namespace {

// Xlib reports a refused grab through the process's error handler: it is set only around the
// grab and its XSync.
int g_grab_error = 0;
int CatchGrabError(Display*, XErrorEvent* e) {
  g_grab_error = e->error_code;
  return 0;
}

// The grab must also match with NumLock (Mod2) and CapsLock (Lock) on.
constexpr unsigned int kModifierVariants[] = {0, Mod2Mask, LockMask, Mod2Mask | LockMask};

}  // namespace

struct X11Hotkey::Connection {
  Display* display = nullptr;
  ~Connection() {
    if (display != nullptr) XCloseDisplay(display);
  }
};

X11Hotkey::X11Hotkey(QObject* parent) : QObject(parent) {}

X11Hotkey::~X11Hotkey() { Unregister(); }

bool X11Hotkey::Register(int letter) {
  Unregister();
  x_ = std::make_unique<Connection>();
  x_->display = XOpenDisplay(nullptr);
  if (x_->display == nullptr) {
    x_.reset();
    nvr::WriteLog(nvr::kLogRegisterHotKeyFailed, 0);
    return false;
  }
  if (XInternAtom(x_->display, "QuorvalentaHotkey", True) != None) {
    nvr::WriteLog(nvr::kLogRegistAtomFailed, 0);
    x_.reset();
    return false;
  }
  id_ = XInternAtom(x_->display, "Hotkey", False);
  const int error = Grab(letter);
  if (error != 0) {
    // Atoms live as long as the X server; "deleting" it is forgetting the id.
    id_ = 0;
    x_.reset();
    nvr::WriteLog(nvr::kLogRegisterHotKeyFailed, error);
    return false;
  }
  notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(x_->display), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &X11Hotkey::ReadEvents);
  return true;
}

bool X11Hotkey::Rebind(int letter) {
  if (id_ == 0 || !x_) return false;
  Ungrab();
  const int error = Grab(letter);
  if (error != 0) {
    nvr::WriteLog(nvr::kLogReRegisterHotKeyFailed, error);
    return false;
  }
  return true;
}

void X11Hotkey::Unregister() {
  notifier_.reset();
  if (x_) Ungrab();
  x_.reset();
  id_ = 0;
}

int X11Hotkey::Grab(int letter) {
  if (letter < 'A' || letter > 'Z') return BadValue;
  Display* d = x_->display;
  const KeyCode code = XKeysymToKeycode(d, static_cast<KeySym>(XK_a + (letter - 'A')));
  if (code == 0) return BadValue;
  XSync(d, False);
  g_grab_error = 0;
  XErrorHandler previous = XSetErrorHandler(CatchGrabError);
  for (unsigned int mods : kModifierVariants) {
    XGrabKey(d, code, Mod1Mask | mods, DefaultRootWindow(d), True, GrabModeAsync, GrabModeAsync);
  }
  XSync(d, False);
  XSetErrorHandler(previous);
  const int error = g_grab_error;
  if (error != 0) {
    for (unsigned int mods : kModifierVariants) XUngrabKey(d, code, Mod1Mask | mods, DefaultRootWindow(d));
    XSync(d, False);
    return error;
  }
  keycode_ = code;
  letter_ = letter;
  return 0;
}

void X11Hotkey::Ungrab() {
  if (keycode_ == 0) return;
  Display* d = x_->display;
  for (unsigned int mods : kModifierVariants) XUngrabKey(d, keycode_, Mod1Mask | mods, DefaultRootWindow(d));
  XSync(d, False);
  keycode_ = 0;
}

void X11Hotkey::ReadEvents() {
  Display* d = x_ ? x_->display : nullptr;
  if (d == nullptr) return;
  while (XPending(d) > 0) {
    XEvent event;
    XNextEvent(d, &event);
    if (event.type == KeyPress && static_cast<int>(event.xkey.keycode) == keycode_ &&
        (event.xkey.state & Mod1Mask) != 0) {
      emit pressed();
    }
  }
}

}  // namespace nvrui
