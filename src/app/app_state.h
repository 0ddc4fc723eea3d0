// AppState: the desktop program's record of one open blog: its workspace
// (where every file and folder of the blog is), what the post editor works
// on, and whether Alt+B is registered. One lives for each blog the program
// runs on (made by the desktop program, handed to the windows as a pointer
// they do not own). Read and written on the user-interface thread only.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "workspace/workspace.h"

namespace tarn {

struct AppState {
  // root: the workspace folder, without a trailing separator.
  explicit AppState(std::string root) : workspace(std::move(root)) {}

  // Every path of the blog is asked of it.
  Workspace workspace;
  std::string postPath;  // the post file the editor was opened on; "" for a new post
  // True while the editor works on postPath, an existing post.
  bool editingExisting = false;
  // The post the editor works on: postPath while editingExisting, else ""
  // (a new post). Also the key of its autosaved copy.
  std::string EditedPost() const { return editingExisting ? postPath : ""; }

  // Alt+B's registration as TrayMode::Start made it; 0 when it was not made.
  int mainHotKeyId = 0;
};

// Settings of config/conf.ini that the desktop program reads at start.
// A switch is on only for the exact text "1"; a missing file or key is off.
struct DesktopSettings {
  static DesktopSettings Read(const std::string& conf_ini_path);

  bool show_dos = false;     // [base] ShowDOS: open the console window at start
  bool mini = false;         // [base] Mini: notification-area mode
  bool auto_backup = false;  // [base] AutoBackup: back up after saves and publishes
  // [base] Schedule: "1" keeps the blog's publishing timer installed (as
  // tarn schedule on), "0" keeps it removed; any other value, or none,
  // leaves it as tarn schedule left it.
  std::optional<bool> schedule;
};

}  // namespace tarn
