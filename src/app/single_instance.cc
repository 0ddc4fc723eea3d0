#include "app/single_instance.h"

#include <filesystem>

#include <gio/gio.h>
#include <gtk/gtk.h>

namespace tarn {
namespace {

constexpr int kActivateTimeoutMs = 10000;

// What the desktop hands a started program so that the window it shows may
// take the focus (X11 startup notification, Wayland activation).
GVariant* PlatformData() {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
  const char* keys[][2] = {{"DESKTOP_STARTUP_ID", "desktop-startup-id"},
                           {"XDG_ACTIVATION_TOKEN", "activation-token"}};
  for (const auto& key : keys) {
    const char* value = g_getenv(key[0]);
    if (value && *value && g_utf8_validate(value, -1, nullptr)) {
      g_variant_builder_add(&builder, "{sv}", key[1], g_variant_new_string(value));
    }
  }
  return g_variant_builder_end(&builder);
}

}  // namespace

SingleInstance::SingleInstance(const std::string& workspace) : id_(IdFor(workspace)) {}

SingleInstance::~SingleInstance() {
  if (!app_) return;
  GApplication* app = G_APPLICATION(app_);
  // Give the name back at once: a start from now on runs on its own rather
  // than asking this ending process for its window.
  GDBusConnection* bus =
      g_application_get_is_registered(app) && !g_application_get_is_remote(app)
          ? g_application_get_dbus_connection(app)
          : nullptr;
  if (bus) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "ReleaseName", g_variant_new("(s)", id_.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
        kActivateTimeoutMs, nullptr, nullptr);
    if (reply) g_variant_unref(reply);
  }
  g_signal_handlers_disconnect_by_data(app_, this);
  g_object_unref(app_);
}

bool SingleInstance::Claim(std::string* note) {
  if (!app_) {
    app_ = gtk_application_new(id_.c_str(), G_APPLICATION_DEFAULT_FLAGS);
    g_signal_connect(app_, "activate", G_CALLBACK(OnActivate), this);
  }
  GApplication* app = G_APPLICATION(app_);
  GError* error = nullptr;
  if (!g_application_register(app, nullptr, &error)) {
    if (note) {
      *note = std::string("cannot tell whether tarn already runs on this workspace: ") +
              error->message;
    }
    g_error_free(error);
    return true;
  }
  GDBusConnection* bus = g_application_get_dbus_connection(app);
  if (!bus) {
    if (note) *note = "no session bus, so another start on this workspace runs on its own";
    return true;
  }
  if (!g_application_get_is_remote(app)) return true;
  g_application_activate(app);
  g_dbus_connection_flush_sync(bus, nullptr, nullptr);
  return false;
}

std::string SingleInstance::IdFor(const std::string& workspace) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::canonical(workspace, ec);
  std::string path = ec ? workspace : real.string();
  gchar* digest = g_compute_checksum_for_string(G_CHECKSUM_SHA256, path.c_str(), -1);
  // An element of a bus name must not start with a digit.
  std::string id = std::string(kApplicationId) + ".w" + std::string(digest, 16);
  g_free(digest);
  return id;
}

std::string SingleInstance::ObjectPathFor(const std::string& id) {
  std::string path = "/" + id;
  for (char& c : path) {
    if (c == '.') c = '/';
    if (c == '-') c = '_';
  }
  return path;
}

bool SingleInstance::ActivateRunning(const std::string& workspace, std::string* error) {
  if (error) error->clear();
  // Without a bus no instance can be found, and none could be asked.
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus) return false;
  std::string id = IdFor(workspace);
  GError* call_error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, id.c_str(), ObjectPathFor(id).c_str(), "org.freedesktop.Application", "Activate",
      g_variant_new("(@a{sv})", PlatformData()), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
      kActivateTimeoutMs, nullptr, &call_error);
  g_object_unref(bus);
  if (reply) {
    g_variant_unref(reply);
    return true;
  }
  // No owner of the name: nothing runs on this workspace.
  bool none = g_error_matches(call_error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
              g_error_matches(call_error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
  if (!none && error) {
    *error = "the tarn running on " + workspace + " did not answer: " + call_error->message;
  }
  g_error_free(call_error);
  return false;
}

void SingleInstance::OnActivate(GtkApplication*, SingleInstance* self) {
  if (self->on_activate_) self->on_activate_();
}

}  // namespace tarn
