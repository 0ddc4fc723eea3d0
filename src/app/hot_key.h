// HotKey: one key combination registered system-wide, so that it reaches the
// program whichever window has the focus (Alt+B brings the main window back
// from the notification area). Built on keybinder, which grabs the key on the
// X11 root window; Caps Lock and Num Lock do not get in the way.
//
// A combination another program has already grabbed cannot be registered,
// and neither can any under a Wayland session without X11: Register says so
// and the program carries on without the key.
//
// Thread safety: user-interface thread only, after gtk_init.
#pragma once

#include <functional>
#include <string>

namespace tarn {

class HotKey {
 public:
  HotKey() = default;
  ~HotKey();  // unregisters
  HotKey(const HotKey&) = delete;
  HotKey& operator=(const HotKey&) = delete;

  // Registers accelerator (GTK's syntax: "<Alt>b") so that on_press runs
  // from the main loop each time it is pressed. Returns the registration's
  // identifier (never 0). Returns 0 with *error saying why when the key is
  // taken by another program, the accelerator is malformed, or the display
  // does not allow system-wide keys (error may be null). A key registered
  // before is unregistered first, also when the new one fails.
  int Register(const std::string& accelerator, std::function<void()> on_press, std::string* error);

  // Gives the key back to the desktop. Does nothing when none is registered.
  void Unregister();

  // The identifier Register returned, or 0 while nothing is registered.
  int id() const { return id_; }
  const std::string& accelerator() const { return accelerator_; }

 private:
  static void OnKey(const char* keystring, void* data);

  std::string accelerator_;
  std::function<void()> on_press_;
  int id_ = 0;
};

}  // namespace tarn
