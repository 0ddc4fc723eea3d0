#include "app/tray_icon.h"

#include <gdk/gdkx.h>
#include <gmodule.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>
#include <libnotify/notify.h>

namespace tarn {
namespace {

constexpr char kIndicatorId[] = "tarn-blog-editor";
constexpr char kFallbackIcon[] = "accessories-text-editor";
constexpr char kWatcher[] = "org.kde.StatusNotifierWatcher";
constexpr int kBusTimeoutMs = 2000;

// True when a panel has registered as a StatusNotifier host: the watcher
// alone (some desktops run it without a panel) shows nothing.
bool HasStatusNotifierHost(GDBusConnection* bus) {
  GVariant* owned = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", kWatcher), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs,
      nullptr, nullptr);
  if (!owned) return false;
  gboolean has_watcher = FALSE;
  g_variant_get(owned, "(b)", &has_watcher);
  g_variant_unref(owned);
  if (!has_watcher) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, kWatcher, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", kWatcher, "IsStatusNotifierHostRegistered"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs, nullptr, nullptr);
  if (!reply) return true;  // a watcher that does not say: trust it
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  bool registered =
      !g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) || g_variant_get_boolean(value);
  g_variant_unref(value);
  g_variant_unref(reply);
  return registered;
}

// True when an X11 system tray (the older XEmbed protocol, which the icon
// library falls back to) runs on the default screen. Xlib is loaded with
// GDK on X11; its one call needed here is looked up at run time rather than
// linking Xlib for it.
bool HasXEmbedTray() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
  using GetSelectionOwner = Window (*)(Display*, Atom);
  GModule* self = g_module_open(nullptr, G_MODULE_BIND_LAZY);
  gpointer symbol = nullptr;
  if (!self || !g_module_symbol(self, "XGetSelectionOwner", &symbol) || !symbol) {
    if (self) g_module_close(self);
    return false;
  }
  int screen = gdk_x11_screen_get_screen_number(gdk_display_get_default_screen(display));
  gchar* name = g_strdup_printf("_NET_SYSTEM_TRAY_S%d", screen);
  Atom atom = gdk_x11_get_xatom_by_name_for_display(display, name);
  g_free(name);
  Window owner =
      reinterpret_cast<GetSelectionOwner>(symbol)(gdk_x11_display_get_xdisplay(display), atom);
  g_module_close(self);
  return owner != None;
}

}  // namespace

std::string TrayIcon::IconName(GtkWindow* owner) {
  const char* name = owner ? gtk_window_get_icon_name(owner) : nullptr;
  if (!name) name = gtk_window_get_default_icon_name();
  if (name && *name && name[0] != '/' &&
      gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), name)) {
    return name;
  }
  return kFallbackIcon;
}

bool TrayIcon::IsVisible() const {
  if (!indicator_) return false;
  if (HasXEmbedTray()) return true;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus) return false;
  bool host = HasStatusNotifierHost(bus);
  g_object_unref(bus);
  return host;
}

TrayIcon::~TrayIcon() {
  RemoveIcon();
  if (notify_is_initted()) notify_uninit();
}

bool TrayIcon::AddIcon(GtkWindow* owner, const std::string& tip, std::string* error) {
  if (indicator_) return true;
  GError* bus_error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &bus_error);
  if (!bus) {
    if (error) {
      *error = std::string("no session bus, so no notification-area icon: ") + bus_error->message;
    }
    g_error_free(bus_error);
    return false;
  }
  bool visible = HasStatusNotifierHost(bus) || HasXEmbedTray();
  g_object_unref(bus);

  indicator_ = app_indicator_new(kIndicatorId, IconName(owner).c_str(),
                                 APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
  app_indicator_set_title(indicator_, tip.c_str());
  // Panels show an item only when it has a menu; its one entry is also the
  // target of the secondary activation (a middle click on most panels).
  menu_ = gtk_menu_new();
  g_object_ref_sink(menu_);
  GtkWidget* show = gtk_menu_item_new_with_label(_(kShowItem));
  g_signal_connect(show, "activate", G_CALLBACK(OnShowItem), this);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_), show);
  gtk_widget_show_all(menu_);
  app_indicator_set_menu(indicator_, GTK_MENU(menu_));
  app_indicator_set_secondary_activate_target(indicator_, show);
  g_signal_connect(indicator_, APP_INDICATOR_SIGNAL_CONNECTION_CHANGED,
                   G_CALLBACK(OnConnectionChanged), this);
  app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);

  if (owner) {
    owner_ = GTK_WIDGET(owner);
    g_signal_connect(owner_, "destroy", G_CALLBACK(OnOwnerDestroyed), this);
  }
  if (!visible) {
    if (error) {
      *error =
          "no notification area on this desktop (neither a StatusNotifier host nor an X11 "
          "system tray), so the tray icon is not shown";
    }
    return false;
  }
  return true;
}

bool TrayIcon::ShowBalloon(const std::string& text, const std::string& title, std::string* error,
                           int timeout_ms) {
  if (!notify_is_initted() && !notify_init("Tarn Blog Editor")) {
    if (error) *error = "the desktop notification library could not start";
    return false;
  }
  NotifyNotification* balloon =
      notify_notification_new(title.c_str(), text.c_str(), "dialog-information");
  notify_notification_set_timeout(balloon, timeout_ms);
  GError* show_error = nullptr;
  bool shown = notify_notification_show(balloon, &show_error);
  g_object_unref(balloon);
  if (!shown) {
    if (error) {
      *error = std::string("no desktop notification service, so no balloon: ") +
               (show_error ? show_error->message : "it refused the notification");
    }
    if (show_error) g_error_free(show_error);
  }
  return shown;
}

void TrayIcon::RemoveIcon() {
  if (owner_) {
    g_signal_handlers_disconnect_by_data(owner_, this);
    owner_ = nullptr;
  }
  if (indicator_) {
    g_signal_handlers_disconnect_by_data(indicator_, this);
    app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_PASSIVE);
    g_object_unref(indicator_);
    indicator_ = nullptr;
    // The icon often goes as the program ends: the panel must hear of it
    // before the connection does.
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
      g_dbus_connection_flush_sync(bus, nullptr, nullptr);
      g_object_unref(bus);
    }
  }
  if (menu_) {
    gtk_widget_destroy(menu_);
    g_object_unref(menu_);
    menu_ = nullptr;
  }
}

void TrayIcon::Notify(TrayEvent event) {
  if (handler_) handler_(event);
}

void TrayIcon::OnShowItem(GtkWidget*, TrayIcon* self) { self->Notify(TrayEvent::kActivate); }

void TrayIcon::OnConnectionChanged(AppIndicator*, int, TrayIcon* self) {
  self->Notify(TrayEvent::kHostChanged);
}

void TrayIcon::OnOwnerDestroyed(GtkWidget*, TrayIcon* self) {
  self->RemoveIcon();
  self->Notify(TrayEvent::kOwnerDestroyed);
}

}  // namespace tarn
