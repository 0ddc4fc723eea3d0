// SingleInstance: keeps the desktop program to one process per workspace.
// The first start on a workspace registers a GApplication on the session bus
// under an id made from the workspace's real path; a later start on the same
// workspace finds that name taken, asks the running process to show its main
// window (handing on the desktop's startup id or activation token, so that
// the window may take the focus), and ends. Another workspace gets another
// id and runs beside it; a process that switches workspaces makes a new
// SingleInstance for each.
//
// Without a session bus every start runs on its own.
//
// Thread safety: user-interface thread only.
#pragma once

#include <functional>
#include <string>

typedef struct _GApplication GApplication;

namespace tarn {

class SingleInstance {
 public:
  // The program's reverse-DNS id: desktop entry, icon, metainfo.
  static constexpr char kApplicationId[] = "org.tarnblog.Tarn";

  explicit SingleInstance(const std::string& workspace);
  ~SingleInstance();  // gives the name back
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Registers on the session bus. Returns true when this process is the one
  // that runs on the workspace; also when no bus can be reached or the
  // registration fails (*note, when given, then says why). Returns false
  // when another process runs on it: that process has been asked to show
  // its main window.
  bool Claim(std::string* note);

  // Runs on_activate from the main loop each time another start asks for
  // the main window, with the desktop's startup id or activation token for
  // it ("" when the start came without one). Set it to null before what it
  // refers to goes.
  using ActivateHandler = std::function<void(const std::string& startup_id)>;
  void set_activate_handler(ActivateHandler on_activate) { on_activate_ = std::move(on_activate); }

  // The bus name of the workspace's instance: kApplicationId, ".w" and 16
  // hex digits of the SHA-256 of the workspace's real path.
  static std::string IdFor(const std::string& workspace);
  // The object path under which the instance id exports its interfaces.
  static std::string ObjectPathFor(const std::string& id);

  // Asks the process running on workspace to show its main window, without
  // opening a display. Returns true when one runs and took the request;
  // false with *error empty when none runs (or there is no session bus to
  // ask), or with *error when the one running did not answer.
  static bool ActivateRunning(const std::string& workspace, std::string* error);

 private:
  friend struct Application;  // the GApplication's class calls back here

  std::string id_;
  GApplication* app_ = nullptr;
  ActivateHandler on_activate_;
  std::string startup_id_;  // of the activation being emitted
};

}  // namespace tarn
