// The recorder's global hotkey, Alt + a letter, on X11: a key grab on the root window over a
// connection of its own to $DISPLAY, read on the Qt event loop. Alt + letter counts with
// NumLock and CapsLock on or off. Where there is no X display (Wayland alone, the offscreen
// platform) registration fails, which is logged like any other failure, and nothing else
// changes.
//
// Failures go to the text log with the lines of the original program: an existing atom
// "QuorvalentaHotkey" (another recorder's hotkey) means no hotkey; a refused grab (another
// program holds Alt + that letter) is logged with the X error code (0: no X display).
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace nvrui {

class X11Hotkey : public QObject {
  Q_OBJECT

 public:
  explicit X11Hotkey(QObject* parent = nullptr);
  ~X11Hotkey() override;

  // At start: the atom test, then Alt + `letter` ('A'..'Z'). False (logged) without hotkey.
  bool Register(int letter);
  // The letter changed in the settings: the grab moves to the new letter; a failure is logged
  // and the hotkey id stays.
  bool Rebind(int letter);
  // At exit.
  void Unregister();

  // The hotkey id (the atom "Hotkey"); 0 = no hotkey registered.
  unsigned long Id() const { return id_; }
  int Letter() const { return letter_; }

 signals:
  void pressed();

 private:
  struct Connection;
  // 0 or the X error code of the grab.
  int Grab(int letter);
  void Ungrab();
  void ReadEvents();

  std::unique_ptr<Connection> x_;
  std::unique_ptr<QSocketNotifier> notifier_;
  unsigned long id_ = 0;
  int letter_ = 0;
  int keycode_ = 0;
};

}  // namespace nvrui
