// WorkspaceLocator: decides which folder is the blog (the workspace) when a
// command starts, and remembers the one the desktop program opened last.
//
// The order: the folder given with -w; else the executable's own folder
// when it holds a workspace (a portable copy, or a build tree run in place);
// else the workspace remembered in $XDG_CONFIG_HOME/tarn/settings.ini, when
// that folder still holds one; else "Tarn Blog" in the user's documents folder
// ($XDG_DOCUMENTS_DIR, as GLib's user-special-dir reads it). An installed
// copy never takes its own folder, so it never writes into it.
//
// Thread safety: any thread; the functions keep no state of their own.
#pragma once

#include <string>

namespace tarn {

class WorkspaceLocator {
 public:
  // How the workspace was found.
  enum class Source { kExplicit, kExecutableFolder, kRemembered, kDefault };

  struct Choice {
    std::string path;  // absolute, without a trailing separator
    Source source = Source::kDefault;
  };

  // The folder name made in the documents folder.
  static constexpr char kDefaultName[] = "Tarn Blog";

  // explicit_path: the -w folder, or "" when none was given (a relative one
  // is taken from the current folder). executable_folder: the folder of the
  // running executable.
  WorkspaceLocator(std::string explicit_path, std::string executable_folder);

  // The workspace by the order above. Never fails: the last step always
  // gives a path, which need not exist yet.
  Choice Locate() const;

  // True when folder holds a workspace: a config/ or template/ folder.
  static bool HoldsWorkspace(const std::string& folder);

  // True when a command may work on folder: it holds a workspace and can be
  // written. Otherwise false with the folder and what is wrong in *error.
  // A folder given with -w need not hold a workspace yet (the commands say
  // what they miss), so require_workspace is false for it.
  static bool CheckUsable(const std::string& folder, bool require_workspace, std::string* error);

  // $XDG_CONFIG_HOME/tarn/settings.ini.
  static std::string SettingsPath();

  // The workspace remembered in settings.ini, or "" when none is.
  static std::string Remembered();

  // Makes folder (absolute) the remembered workspace, creating the settings
  // folder when needed. Returns false with the file and reason in *error.
  static bool Remember(const std::string& folder, std::string* error);

  // The default workspace: "Tarn Blog" in the documents folder.
  static std::string DefaultFolder();

  // The folder of the running executable ("" when it cannot be told).
  static std::string ExecutableFolder();

  // path made absolute against the current folder and lexically normal,
  // without a trailing separator.
  static std::string Absolute(const std::string& path);

 private:
  std::string explicit_path_;
  std::string executable_folder_;
};

}  // namespace tarn
