#include "deploy/git_clone_source.h"

#include <filesystem>
#include <system_error>

#include "data/json_document.h"
#include "data/text_file.h"
#include "workspace/workspace.h"

namespace tarn {

namespace fs = std::filesystem;

std::string GitCloneSource::Describe() const {
  return "the backup at " + GitDeployer::WithoutPassword(url_);
}

ProgramOptions GitCloneSource::Options(const std::string& work_dir) const {
  ProgramOptions options = GitDeployer::GitOptions(work_dir);
  options.cancel = cancel_;
  return options;
}

bool GitCloneSource::Fill(const std::string& stage, std::string* error) {
  // "--": a URL that starts with a dash is a URL, not an option.
  CommandResult clone =
      CommandRunner::RunProgram({"git", "clone", "--", url_, "."}, Options(stage), callback_);
  if (Cancelled()) {
    *error = "cancelled";
    return false;
  }
  if (!clone.succeeded()) {
    *error = "cannot restore from " + GitDeployer::WithoutPassword(url_) + ": " +
             (clone.started ? "git clone failed (see its output)" : clone.error);
    return false;
  }
  std::error_code ec;
  if (!fs::is_directory(fs::path(stage) / Workspace::kConfigDir, ec)) {
    *error = GitDeployer::WithoutPassword(url_) + " holds no blog (no config/ folder)";
    return false;
  }
  ClonePublishedSite(stage);
  if (Cancelled()) {
    *error = "cancelled";
    return false;
  }
  if (skeleton_.empty()) return true;
  fs::path from = fs::path(skeleton_) / Workspace::kTemplateDir;
  for (auto it = fs::recursive_directory_iterator(from, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::path target = fs::path(stage) / Workspace::kTemplateDir / fs::relative(it->path(), from);
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

void GitCloneSource::ClonePublishedSite(const std::string& stage) {
  std::string text;
  JsonDocument config;
  if (!ReadTextFile(Workspace::Path(stage, Workspace::kBaseConfig), &text) || !config.Parse(text))
    return;  // the build reports a broken base.json with its line
  std::string url = config.GetText("system.deployUrl");
  std::error_code ec;
  if (url.empty() || fs::exists(fs::path(stage) / Workspace::kPublicDir, ec)) return;
  CommandResult clone = CommandRunner::RunProgram({"git", "clone", "--branch", GitDeployer::kBranch,
                                                   "--", url, std::string(Workspace::kPublicDir)},
                                                  Options(stage), callback_);
  if (clone.succeeded() || !callback_ || Cancelled()) return;
  callback_("the published site at " + GitDeployer::WithoutPassword(url) +
            " was not fetched; the blog is restored, and its first publish will ask "
            "before it replaces the site there\n");
}

}  // namespace tarn
