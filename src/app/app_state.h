// AppState: the desktop program's record of one open blog: where the
// workspace and its folders are, what the post editor works on, and whether
// Alt+B is registered. One lives for each blog the program runs on (made
// by the desktop program, handed to the windows as a pointer they do not
// own). Read and written on the user-interface thread only.
#pragma once

#include <string>

namespace tarn {

struct AppState {
  // Fills the folder paths from the workspace root (no trailing separator).
  void SetRoot(const std::string& root);

  std::string rootDir;      // the workspace root
  std::string templateDir;  // rootDir + "/template/"
  std::string configDir;    // rootDir + "/config/"
  std::string themesDir;    // rootDir + "/themes/"
  std::string postPath;     // the post file the editor was opened on; "" for a new post
  // True while the editor works on postPath, an existing post.
  bool editingExisting = false;
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
};

}  // namespace tarn
