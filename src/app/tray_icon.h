// TrayIcon: the program's icon in the desktop's notification area, and its
// balloon hint. The icon is a StatusNotifier item (libayatana-appindicator;
// where the desktop only has an X11 system tray the library shows an old
// style tray icon instead); its menu item and its secondary activation (a
// middle click on most panels) report TrayEvent::kActivate. The balloon is a
// desktop notification (libnotify).
//
// Both need the desktop's help: a notification-area host and a notification
// service on the session bus. Without them AddIcon and ShowBalloon return
// false with the reason, and the program works on without them; the icon
// appears by itself if a host starts later.
//
// The icon is removed when the owner window is destroyed (the handler sees
// kOwnerDestroyed), by RemoveIcon, or with the object.
//
// Thread safety: user-interface thread only, after gtk_init.
#pragma once

#include <glib/gi18n.h>

#include <functional>
#include <string>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;
typedef struct _AppIndicator AppIndicator;

namespace tarn {

enum class TrayEvent {
  kActivate,        // the user asked for the program's window
  kHostChanged,     // a notification-area host came or went
  kOwnerDestroyed,  // the owner window is gone; so is the icon
};

class TrayIcon {
 public:
  static constexpr int kBalloonTimeoutMs = 3000;
  // The menu item that brings the main window back.
  static constexpr const char* kShowItem = N_("显示主窗口");

  TrayIcon() = default;
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Adds the icon for owner (named as IconName says; owner may be null)
  // with tip as the icon's title. Returns false with *error saying why when the icon cannot
  // be seen now (no session bus, no notification-area host); with a session
  // bus the icon is still created and shows once a host starts. Adding a
  // second time does nothing and returns true.
  bool AddIcon(GtkWindow* owner, const std::string& tip, std::string* error);

  // Shows text under title as a desktop notification with the information
  // icon for timeout_ms. Returns false with *error (when given) when no
  // notification service takes it. Does not need the icon.
  bool ShowBalloon(const std::string& text, const std::string& title, std::string* error,
                   int timeout_ms = kBalloonTimeoutMs);

  // Receives the icon's events (see TrayEvent).
  void SetEventHandler(std::function<void(TrayEvent)> handler) { handler_ = std::move(handler); }

  // Removes the icon and forgets the owner. Does nothing when there is none.
  void RemoveIcon();

  bool has_icon() const { return indicator_ != nullptr; }

  // True when the icon is there and a notification area shows it now (the
  // desktop's panel may have come or gone since AddIcon).
  bool IsVisible() const;

  // The icon's name in the desktop's icon theme: owner's icon name, else the
  // program's default icon name, when the theme has it; else a stock
  // editor icon. Never a file path: panels look the name up themselves.
  static std::string IconName(GtkWindow* owner);

 private:
  static void OnShowItem(GtkWidget* item, TrayIcon* self);
  static void OnConnectionChanged(AppIndicator* indicator, int connected, TrayIcon* self);
  static void OnOwnerDestroyed(GtkWidget* owner, TrayIcon* self);
  void Notify(TrayEvent event);

  AppIndicator* indicator_ = nullptr;
  GtkWidget* menu_ = nullptr;
  GtkWidget* owner_ = nullptr;
  std::function<void(TrayEvent)> handler_;
};

}  // namespace tarn
