#include "app/global_shortcut.h"

#include <gio/gio.h>

namespace tarn {
namespace {

constexpr char kPortal[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kShortcuts[] = "org.freedesktop.portal.GlobalShortcuts";
constexpr char kRequest[] = "org.freedesktop.portal.Request";

// Request and session handles end in a token of our own choosing; portals
// want a valid object path element.
std::string NewToken() {
  static unsigned serial = 0;
  return "tarn_" + std::to_string(g_random_int()) + "_" + std::to_string(++serial);
}

GVariant* TokenOptions(const std::string& token, const char* session_token = nullptr) {
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  if (session_token) {
    g_variant_builder_add(&options, "{sv}", "session_handle_token",
                          g_variant_new_string(session_token));
  }
  return g_variant_builder_end(&options);
}

}  // namespace

GlobalShortcut::~GlobalShortcut() {
  if (cancellable_) {
    g_cancellable_cancel(cancellable_);
    g_object_unref(cancellable_);
  }
  if (!bus_) return;
  if (response_subscription_) g_dbus_connection_signal_unsubscribe(bus_, response_subscription_);
  if (activated_subscription_) {
    g_dbus_connection_signal_unsubscribe(bus_, activated_subscription_);
  }
  if (!session_.empty()) {
    g_dbus_connection_call(bus_, kPortal, session_.c_str(), "org.freedesktop.portal.Session",
                           "Close", nullptr, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr,
                           nullptr, nullptr);
    g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
  }
  g_object_unref(bus_);
}

void GlobalShortcut::Bind(const Request& request, std::function<void()> on_press,
                          std::function<void(const std::string& reason)> on_unavailable) {
  if (bus_ || failed_) return;
  request_ = request;
  on_press_ = std::move(on_press);
  on_unavailable_ = std::move(on_unavailable);
  GError* error = nullptr;
  bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus_) {
    Fail(std::string("no session bus: ") + error->message);
    g_error_free(error);
    return;
  }
  cancellable_ = g_cancellable_new();
  // A program outside a sandbox tells the portal who it is first, where the
  // portal has the registry for that (older ones know the program from its
  // process); whatever the answer, the session is asked for next.
  g_dbus_connection_call(bus_, kPortal, kPortalPath, "org.freedesktop.host.portal.Registry",
                         "Register",
                         g_variant_new("(s@a{sv})", request_.application_id.c_str(),
                                       g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, cancellable_,
                         reinterpret_cast<GAsyncReadyCallback>(OnRegistered), this);
}

void GlobalShortcut::OnRegistered(GDBusConnection* bus, void* result, void* data) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(bus, static_cast<GAsyncResult*>(result), &error);
  if (reply) g_variant_unref(reply);
  bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
  if (error) g_error_free(error);
  if (!cancelled) static_cast<GlobalShortcut*>(data)->CreateSession();
}

void GlobalShortcut::CreateSession() {
  std::string token = NewToken();
  std::string session_token = NewToken();
  CallWithResponse("CreateSession",
                   g_variant_new("(@a{sv})", TokenOptions(token, session_token.c_str())), token,
                   &GlobalShortcut::OnSessionCreated);
}

void GlobalShortcut::OnSessionCreated(unsigned response, GVariant* results) {
  if (response != 0) {
    Fail("the desktop refused a global shortcuts session (answer " + std::to_string(response) +
         ")");
    return;
  }
  GVariant* handle = g_variant_lookup_value(results, "session_handle", nullptr);
  if (handle && (g_variant_is_of_type(handle, G_VARIANT_TYPE_STRING) ||
                 g_variant_is_of_type(handle, G_VARIANT_TYPE_OBJECT_PATH))) {
    session_ = g_variant_get_string(handle, nullptr);
  }
  if (handle) g_variant_unref(handle);
  if (session_.empty() || !g_variant_is_object_path(session_.c_str())) {
    session_.clear();
    Fail("the desktop's global shortcuts session came without a valid handle");
    return;
  }
  activated_subscription_ = g_dbus_connection_signal_subscribe(
      bus_, kPortal, kShortcuts, "Activated", kPortalPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      reinterpret_cast<GDBusSignalCallback>(OnActivated), this, nullptr);

  GVariantBuilder shortcuts;
  g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
  GVariantBuilder info;
  g_variant_builder_init(&info, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&info, "{sv}", "description",
                        g_variant_new_string(request_.description.c_str()));
  g_variant_builder_add(&info, "{sv}", "preferred_trigger",
                        g_variant_new_string(request_.trigger.c_str()));
  g_variant_builder_add(&shortcuts, "(s@a{sv})", request_.id.c_str(), g_variant_builder_end(&info));
  std::string token = NewToken();
  CallWithResponse(
      "BindShortcuts",
      g_variant_new("(o@a(sa{sv})s@a{sv})", session_.c_str(), g_variant_builder_end(&shortcuts),
                    request_.parent_window.c_str(), TokenOptions(token)),
      token, &GlobalShortcut::OnBound);
}

void GlobalShortcut::OnBound(unsigned response, GVariant*) {
  if (response != 0) {
    Fail("the desktop did not bind " + request_.trigger + " (answer " + std::to_string(response) +
         ")");
    return;
  }
  bound_ = true;
}

void GlobalShortcut::CallWithResponse(const char* method, GVariant* parameters,
                                      const std::string& token, Step next) {
  // The Response may come before the call's own reply: listen first, on the
  // path the portal will use for this token.
  pending_step_ = next;
  if (response_subscription_) g_dbus_connection_signal_unsubscribe(bus_, response_subscription_);
  response_subscription_ = g_dbus_connection_signal_subscribe(
      bus_, kPortal, kRequest, "Response", RequestPath(token).c_str(), nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, reinterpret_cast<GDBusSignalCallback>(OnResponse), this, nullptr);
  g_dbus_connection_call(bus_, kPortal, kPortalPath, kShortcuts, method, parameters,
                         G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1, cancellable_,
                         reinterpret_cast<GAsyncReadyCallback>(OnCallReturned), this);
}

void GlobalShortcut::OnCallReturned(GDBusConnection* bus, void* result, void* data) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(bus, static_cast<GAsyncResult*>(result), &error);
  if (!reply) {
    if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
      gchar* remote = g_dbus_error_get_remote_error(error);
      g_dbus_error_strip_remote_error(error);
      std::string reason = error->message;
      if (remote && g_str_equal(remote, "org.freedesktop.DBus.Error.ServiceUnknown")) {
        reason = "no desktop portal on the session bus";
      }
      g_free(remote);
      static_cast<GlobalShortcut*>(data)->Fail(reason);
    }
    g_error_free(error);
    return;
  }
  g_variant_unref(reply);
}

void GlobalShortcut::OnResponse(GDBusConnection*, const char*, const char*, const char*,
                                const char*, GVariant* params, void* data) {
  auto* self = static_cast<GlobalShortcut*>(data);
  if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(ua{sv})")) || !self->pending_step_) return;
  guint32 response = 2;
  GVariant* results = nullptr;
  g_variant_get(params, "(u@a{sv})", &response, &results);
  Step step = self->pending_step_;
  self->pending_step_ = nullptr;
  g_dbus_connection_signal_unsubscribe(self->bus_, self->response_subscription_);
  self->response_subscription_ = 0;
  (self->*step)(response, results);
  g_variant_unref(results);
}

void GlobalShortcut::OnActivated(GDBusConnection*, const char*, const char*, const char*,
                                 const char*, GVariant* params, void* data) {
  auto* self = static_cast<GlobalShortcut*>(data);
  if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(osta{sv})"))) return;
  const char* session = nullptr;
  const char* id = nullptr;
  g_variant_get(params, "(&o&sta{sv})", &session, &id, nullptr, nullptr);
  if (self->session_ == session && self->request_.id == id && self->on_press_) {
    self->on_press_();
  }
}

void GlobalShortcut::Fail(const std::string& reason) {
  if (failed_) return;
  failed_ = true;
  if (on_unavailable_) on_unavailable_(reason);
}

std::string GlobalShortcut::RequestPath(const std::string& token) const {
  // /org/freedesktop/portal/desktop/request/SENDER/TOKEN, SENDER being our
  // unique bus name without the ':' and with '_' for '.'.
  std::string sender = g_dbus_connection_get_unique_name(bus_);
  if (!sender.empty() && sender[0] == ':') sender.erase(0, 1);
  for (char& c : sender) {
    if (c == '.') c = '_';
  }
  return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

}  // namespace tarn
