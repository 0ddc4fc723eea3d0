// TrayMode: the notification-area mode of the main window (conf.ini's
// [base] Mini=1). It puts the program's icon in the notification area, shows
// the balloon that tells about Alt+B, and registers Alt+B system-wide; the
// icon (its menu item, or a middle click) and Alt+B bring the main window
// back when it was hidden.
//
// Alt+B is grabbed on the X11 display. In a Wayland session, where a program
// cannot grab keys, it is asked of the desktop portal's global shortcuts as
// well; where the desktop has none, the user is told once to bind Alt+B to
// `tarn show` in the desktop's keyboard settings.
//
// The desktop may offer no notification area, no notification service, or no
// system-wide keys: what is missing is said once on standard error and the
// rest works on. The icon goes with the main window.
//
// Thread safety: user-interface thread only.
#pragma once

#include <glib/gi18n.h>

#include <string>

#include "app/global_shortcut.h"
#include "app/hot_key.h"
#include "app/tray_icon.h"

namespace tarn {

struct AppState;
class MainWindow;

class TrayMode {
 public:
  static constexpr char kTip[] = "TarnBE";
  static constexpr const char* kBalloonTitle = N_("提示");
  static constexpr const char* kBalloonText = N_("Alt+B可以快速呼出编写界面哦");
  static constexpr char kShowKey[] = "<Alt>b";
  // The same key in the portal's syntax, and its name there.
  static constexpr char kPortalTrigger[] = "ALT+b";
  static constexpr char kPortalShortcutId[] = "show-main-window";

  TrayMode() = default;
  TrayMode(const TrayMode&) = delete;
  TrayMode& operator=(const TrayMode&) = delete;

  // Adds the icon, shows the balloon and registers Alt+B for window, keeping
  // the key's identifier in state->mainHotKeyId (0 when it could not be
  // registered). Neither is owned; both must outlive this object.
  // In a Wayland session Alt+B is also asked of the desktop portal. What
  // fails is said on standard error; nothing is returned. Call once, after
  // the window has been created.
  void Start(MainWindow* window, AppState* state);

  // True when a notification area shows the icon now.
  bool icon_visible() const { return icon_.IsVisible(); }

  // True in a Wayland session (also for a program that runs on XWayland).
  static bool IsWaylandSession();

 private:
  void BindThroughPortal(MainWindow* window);

  TrayIcon icon_;
  HotKey show_key_;
  GlobalShortcut portal_key_;
};

}  // namespace tarn
