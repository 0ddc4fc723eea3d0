// GlobalShortcut: one shortcut bound through the desktop portal's
// GlobalShortcuts interface (org.freedesktop.portal.GlobalShortcuts on the
// session bus). Under Wayland a program cannot grab keys for itself; the
// portal asks the desktop to deliver the key instead, and the desktop may let
// the user confirm or change the key it proposes.
//
// Everything runs from the main loop: Bind returns once the session bus is
// connected, and the portal's answers arrive later. Destroying the object
// cancels the calls still on their way, so no answer reaches it after.
// A desktop without the portal, or without its GlobalShortcuts interface,
// or a refused request, is reported once to the unavailable handler; the
// program works on without the shortcut.
//
// Thread safety: user-interface thread only (the thread that runs the
// default main context).
#pragma once

#include <functional>
#include <string>

typedef struct _GCancellable GCancellable;
typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;

namespace tarn {

class GlobalShortcut {
 public:
  struct Request {
    std::string id;              // the shortcut's name within the session
    std::string description;     // what it does, shown by the desktop
    std::string trigger;         // proposed key, XDG shortcut syntax: "ALT+b"
    std::string parent_window;   // "x11:XID", "wayland:HANDLE" or ""
    std::string application_id;  // given to the portal when it asks
  };

  GlobalShortcut() = default;
  ~GlobalShortcut();  // closes the portal session
  GlobalShortcut(const GlobalShortcut&) = delete;
  GlobalShortcut& operator=(const GlobalShortcut&) = delete;

  // Asks the portal to bind request. on_press runs at each activation;
  // on_unavailable runs at most once, with the reason, when the shortcut
  // cannot be had. Calling Bind a second time does nothing.
  void Bind(const Request& request, std::function<void()> on_press,
            std::function<void(const std::string& reason)> on_unavailable);

  // True once the portal has confirmed the binding.
  bool bound() const { return bound_; }

 private:
  using Step = void (GlobalShortcut::*)(unsigned response, GVariant* results);

  // Calls a portal method that answers through a Request object, and runs
  // next with that object's Response.
  void CallWithResponse(const char* method, GVariant* parameters, const std::string& token,
                        Step next);
  void CreateSession();
  void OnSessionCreated(unsigned response, GVariant* results);
  void OnBound(unsigned response, GVariant* results);
  void Fail(const std::string& reason);
  std::string RequestPath(const std::string& token) const;

  static void OnRegistered(GDBusConnection* bus, void* result, void* data);
  static void OnCallReturned(GDBusConnection* bus, void* result, void* data);
  static void OnResponse(GDBusConnection* bus, const char* sender, const char* path,
                         const char* iface, const char* signal, GVariant* params, void* data);
  static void OnActivated(GDBusConnection* bus, const char* sender, const char* path,
                          const char* iface, const char* signal, GVariant* params, void* data);

  Request request_;
  std::function<void()> on_press_;
  std::function<void(const std::string&)> on_unavailable_;
  GDBusConnection* bus_ = nullptr;
  GCancellable* cancellable_ = nullptr;
  std::string session_;
  Step pending_step_ = nullptr;
  unsigned response_subscription_ = 0;
  unsigned activated_subscription_ = 0;
  bool bound_ = false;
  bool failed_ = false;
};

}  // namespace tarn
