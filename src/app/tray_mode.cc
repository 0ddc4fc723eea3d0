#include "app/tray_mode.h"

#include <cstdio>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/single_instance.h"

namespace tarn {
namespace {

void Say(const std::string& reason) { std::fprintf(stderr, "tarn: %s\n", reason.c_str()); }

// The portal's name for the window its dialogs belong to: the X11 window
// where there is one; a Wayland window would have to be exported first, and
// the portal does without.
std::string PortalParent(GtkWindow* window) {
  GdkWindow* gdk_window = window ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
  if (!gdk_window || !GDK_IS_X11_WINDOW(gdk_window)) return "";
  gchar* handle = g_strdup_printf("x11:%lx", gdk_x11_window_get_xid(gdk_window));
  std::string parent = handle;
  g_free(handle);
  return parent;
}

}  // namespace

bool TrayMode::IsWaylandSession() {
  const char* type = g_getenv("XDG_SESSION_TYPE");
  const char* display = g_getenv("WAYLAND_DISPLAY");
  return (type && g_str_equal(type, "wayland")) || (display && *display);
}

void TrayMode::Start(MainWindow* window, AppState* state) {
  std::string reason;
  if (!icon_.AddIcon(window->window(), kTip, &reason)) Say(reason);
  if (!icon_.ShowBalloon(_(kBalloonText), _(kBalloonTitle), &reason)) Say(reason);
  icon_.SetEventHandler([window](TrayEvent event) {
    if (event == TrayEvent::kActivate) window->Show();
  });
  // Under XWayland the grab works while one of the program's windows has
  // the focus; the portal covers the rest.
  state->mainHotKeyId = show_key_.Register(
      kShowKey, [window] { window->Show(); }, &reason);
  if (IsWaylandSession()) {
    BindThroughPortal(window);
  } else if (state->mainHotKeyId == 0) {
    Say("Alt+B cannot bring the window back: " + reason);
  }
}

void TrayMode::BindThroughPortal(MainWindow* window) {
  GlobalShortcut::Request request;
  request.id = kPortalShortcutId;
  request.description = "Show the Tarn Blog Editor window";
  request.trigger = kPortalTrigger;
  request.parent_window = PortalParent(window->window());
  request.application_id = SingleInstance::kApplicationId;
  portal_key_.Bind(
      request, [window] { window->Show(); },
      [](const std::string& why) {
        Say("Alt+B needs a desktop key binding on this session (" + why +
            "): bind Alt+B to the command \"tarn show\" in the desktop's keyboard settings");
      });
}

}  // namespace tarn
