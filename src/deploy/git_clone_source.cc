#include "deploy/git_clone_source.h"

#include <filesystem>
#include <system_error>

namespace tarn {

namespace fs = std::filesystem;

std::string GitCloneSource::Describe() const {
  return "the backup at " + GitDeployer::WithoutPassword(url_);
}

bool GitCloneSource::Fill(const std::string& stage, std::string* error) {
  ProgramOptions options = GitDeployer::GitOptions(stage);
  // "--": a URL that starts with a dash is a URL, not an option.
  CommandResult clone =
      CommandRunner::RunProgram({"git", "clone", "--", url_, "."}, options, callback_);
  if (!clone.succeeded()) {
    *error = "cannot restore from " + GitDeployer::WithoutPassword(url_) + ": " +
             (clone.started ? "git clone failed (see its output)" : clone.error);
    return false;
  }
  std::error_code ec;
  if (!fs::is_directory(fs::path(stage) / "config", ec)) {
    *error = GitDeployer::WithoutPassword(url_) + " holds no blog (no config/ folder)";
    return false;
  }
  if (skeleton_.empty()) return true;
  fs::path from = fs::path(skeleton_) / "template";
  for (auto it = fs::recursive_directory_iterator(from, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::path target = fs::path(stage) / "template" / fs::relative(it->path(), from);
    if (fs::exists(fs::symlink_status(target))) continue;
    if (it->is_directory())
      fs::create_directories(target, ec);
    else
      fs::copy_file(it->path(), target, ec);
    if (ec) {
      *error = target.string() + ": " + ec.message();
      return false;
    }
  }
  if (ec) *error = from.string() + ": " + ec.message();
  return !ec;
}

}  // namespace tarn
