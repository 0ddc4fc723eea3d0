// TrayMode: the notification-area mode of the main window (conf.ini's
// [base] Mini=1). It puts the program's icon in the notification area, shows
// the balloon that tells about Alt+B, and registers Alt+B system-wide; the
// icon (its menu item, or a middle click) and Alt+B bring the main window
// back when it was hidden.
//
// The desktop may offer no notification area, no notification service, or no
// system-wide keys (Wayland): what is missing is said once on standard error
// and the rest works on. The icon goes with the main window.
//
// Thread safety: user-interface thread only.
#pragma once

#include <string>

#include "app/hot_key.h"
#include "app/tray_icon.h"

namespace tarn {

struct AppState;
class MainWindow;

class TrayMode {
 public:
  static constexpr char kTip[] = "TarnBE";
  static constexpr char kBalloonTitle[] = "提示";
  static constexpr char kBalloonText[] = "Alt+B可以快速呼出编写界面哦";
  static constexpr char kShowKey[] = "<Alt>b";

  TrayMode() = default;
  TrayMode(const TrayMode&) = delete;
  TrayMode& operator=(const TrayMode&) = delete;

  // Adds the icon, shows the balloon and registers Alt+B for window, keeping
  // the key's identifier in state->mainHotKeyId (0 when it could not be
  // registered). Neither is owned; both must outlive this object.
  void Start(MainWindow* window, AppState* state);

 private:
  TrayIcon icon_;
  HotKey show_key_;
};

}  // namespace tarn
