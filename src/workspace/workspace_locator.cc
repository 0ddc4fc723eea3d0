#include "workspace/workspace_locator.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "data/ini_file.h"
#include "data/self_executable.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

constexpr char kSection[] = "workspace";
constexpr char kLastKey[] = "last";

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

WorkspaceLocator::WorkspaceLocator(std::string explicit_path, std::string executable_folder)
    : explicit_path_(std::move(explicit_path)), executable_folder_(std::move(executable_folder)) {}

WorkspaceLocator::Choice WorkspaceLocator::Locate() const {
  if (!explicit_path_.empty()) return {Absolute(explicit_path_), Source::kExplicit};
  if (!executable_folder_.empty() && HoldsWorkspace(executable_folder_))
    return {Absolute(executable_folder_), Source::kExecutableFolder};
  std::string remembered = Remembered();
  if (HoldsWorkspace(remembered)) return {Absolute(remembered), Source::kRemembered};
  return {DefaultFolder(), Source::kDefault};
}

bool WorkspaceLocator::HoldsWorkspace(const std::string& folder) {
  return IsFolder(Workspace::Path(folder, Workspace::kConfigDir)) ||
         IsFolder(Workspace::Path(folder, Workspace::kTemplateDir));
}

bool WorkspaceLocator::CheckUsable(const std::string& folder, bool require_workspace,
                                   std::string* error) {
  if (require_workspace && !HoldsWorkspace(folder)) {
    *error = folder + ": no blog here (it has no config/ or template/ folder)";
    return false;
  }
  // A missing folder is the command's to report, as it always was.
  if (IsFolder(folder) && ::access(folder.c_str(), W_OK | X_OK) != 0) {
    *error = folder + ": cannot write in this workspace: " + g_strerror(errno);
    return false;
  }
  return true;
}

std::string WorkspaceLocator::SettingsPath() {
  return std::string(g_get_user_config_dir()) + "/tarn/settings.ini";
}

std::string WorkspaceLocator::Remembered() {
  std::string path = IniFile(SettingsPath()).GetString(kSection, kLastKey);
  // Only an absolute path was ever written; anything else is not ours.
  return !path.empty() && path.front() == '/' ? path : "";
}

bool WorkspaceLocator::Remember(const std::string& folder, std::string* error) {
  std::string settings = SettingsPath();
  std::string dir = std::filesystem::path(settings).parent_path().string();
  if (g_mkdir_with_parents(dir.c_str(), 0700) != 0) {
    if (error) *error = dir + ": " + g_strerror(errno);
    return false;
  }
  return IniFile::SetString(settings, kSection, kLastKey, Absolute(folder), error);
}

std::string WorkspaceLocator::DefaultFolder() {
  // The environment first (a session may set it), then user-dirs.dirs as
  // GLib reads it, then the folder xdg-user-dirs would have made.
  std::string documents;
  if (const char* env = g_getenv("XDG_DOCUMENTS_DIR"); env && env[0] == '/') {
    documents = env;
  } else if (const char* special = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS)) {
    documents = special;
  } else {
    documents = std::string(g_get_home_dir()) + "/Documents";
  }
  return Absolute(documents + "/" + kDefaultName);
}

std::string WorkspaceLocator::ExecutableFolder() { return SelfExecutableFolder(); }

std::string WorkspaceLocator::Absolute(const std::string& path) {
  std::error_code ec;
  std::filesystem::path abs = std::filesystem::absolute(path, ec);
  std::string out = ec ? path : abs.lexically_normal().string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace tarn
