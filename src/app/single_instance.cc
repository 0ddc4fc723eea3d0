#include "app/single_instance.h"

#include <filesystem>

#include <gio/gio.h>

namespace tarn {
namespace {

constexpr int kActivateTimeoutMs = 10000;

// What the desktop hands a started program so that the window it shows may
// take the focus (X11 startup notification, Wayland activation).
void AddStartupIds(GVariantBuilder* builder) {
  const char* keys[][2] = {{"DESKTOP_STARTUP_ID", "desktop-startup-id"},
                           {"XDG_ACTIVATION_TOKEN", "activation-token"}};
  for (const auto& key : keys) {
    const char* value = g_getenv(key[0]);
    if (value && *value && g_utf8_validate(value, -1, nullptr)) {
      g_variant_builder_add(builder, "{sv}", key[1], g_variant_new_string(value));
    }
  }
}

GVariant* PlatformData() {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
  AddStartupIds(&builder);
  return g_variant_builder_end(&builder);
}

}  // namespace

// The GApplication behind SingleInstance: it sends the startup ids along
// with a remote activation and hands them, on the receiving side, to the
// activate handler. (A GtkApplication cannot be registered a second time in
// one process, which switching workspaces needs.)
struct Application {
  GApplication parent;
  SingleInstance* owner;

  static void AddPlatformData(GApplication* app, GVariantBuilder* builder);
  static void BeforeEmit(GApplication* app, GVariant* platform_data);
  static void Activate(GApplication* app);
};
struct ApplicationClass {
  GApplicationClass parent_class;
};

}  // namespace tarn

using TarnApplication = tarn::Application;
using TarnApplicationClass = tarn::ApplicationClass;
G_DEFINE_TYPE(TarnApplication, tarn_application, G_TYPE_APPLICATION)

static void tarn_application_init(TarnApplication* self) { self->owner = nullptr; }

static void tarn_application_class_init(TarnApplicationClass* klass) {
  GApplicationClass* base = G_APPLICATION_CLASS(klass);
  base->add_platform_data = tarn::Application::AddPlatformData;
  base->before_emit = tarn::Application::BeforeEmit;
  base->activate = tarn::Application::Activate;
}

namespace tarn {

void Application::AddPlatformData(GApplication* app, GVariantBuilder* builder) {
  G_APPLICATION_CLASS(tarn_application_parent_class)->add_platform_data(app, builder);
  AddStartupIds(builder);
}

void Application::BeforeEmit(GApplication* app, GVariant* platform_data) {
  G_APPLICATION_CLASS(tarn_application_parent_class)->before_emit(app, platform_data);
  SingleInstance* owner = reinterpret_cast<Application*>(app)->owner;
  if (!owner) return;
  const char* id = nullptr;
  if (g_variant_lookup(platform_data, "activation-token", "&s", &id) ||
      g_variant_lookup(platform_data, "desktop-startup-id", "&s", &id)) {
    owner->startup_id_ = id;
  } else {
    owner->startup_id_.clear();
  }
}

void Application::Activate(GApplication* app) {
  SingleInstance* owner = reinterpret_cast<Application*>(app)->owner;
  if (owner && owner->on_activate_) owner->on_activate_(owner->startup_id_);
}

SingleInstance::SingleInstance(const std::string& workspace) : id_(IdFor(workspace)) {}

SingleInstance::~SingleInstance() {
  if (!app_) return;
  GApplication* app = app_;
  // Give the name back at once: a start from now on runs on its own rather
  // than asking this ending process for its window.
  GDBusConnection* bus = g_application_get_is_registered(app) && !g_application_get_is_remote(app)
                             ? g_application_get_dbus_connection(app)
                             : nullptr;
  if (bus) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ReleaseName",
        g_variant_new("(s)", id_.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, kActivateTimeoutMs,
        nullptr, nullptr);
    if (reply) g_variant_unref(reply);
  }
  reinterpret_cast<Application*>(app_)->owner = nullptr;
  g_object_unref(app_);
}

bool SingleInstance::Claim(std::string* note) {
  if (!app_) {
    app_ = G_APPLICATION(g_object_new(tarn_application_get_type(), "application-id", id_.c_str(),
                                      "flags", G_APPLICATION_DEFAULT_FLAGS, nullptr));
    reinterpret_cast<Application*>(app_)->owner = this;
  }
  GApplication* app = app_;
  GError* error = nullptr;
  if (!g_application_register(app, nullptr, &error)) {
    if (note) {
      *note =
          std::string("cannot tell whether tarn already runs on this workspace: ") + error->message;
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

}  // namespace tarn
