#include "deploy/git_clone_source.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "data/json_document.h"
#include "data/text_file.h"
#include "deploy/source_backup.h"
#include "workspace/contained_tree.h"
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
  const std::string shown = GitDeployer::WithoutPassword(url_);
  // A backup pushes main, but the remote's HEAD may name another branch:
  // git init --bare points it at master, which no backup makes. So main
  // is asked for by name when the remote has it, and the remote's own
  // default taken otherwise.
  // "--": a URL that starts with a dash is a URL, not an option.
  CommandResult heads =
      CommandRunner::RunProgram({"git", "ls-remote", "--heads", "--", url_,
                                 std::string("refs/heads/") + SourceBackup::kBranch},
                                Options(stage));
  if (Cancelled()) return Cancel(error);
  if (!heads.succeeded()) {
    if (callback_ && !heads.output.empty()) callback_(GitDeployer::WithoutPassword(heads.output));
    *error = "cannot restore from " + shown + ": " +
             (heads.started ? "git could not read it (see its output)" : heads.error);
    return false;
  }
  // "<commit>\trefs/heads/main" on a line of its own; a warning (a
  // redirect, say) may stand beside it in the output.
  const std::string line = std::string("\trefs/heads/") + SourceBackup::kBranch + "\n";
  std::vector<std::string> clone = {"git", "clone"};
  if ((heads.output + "\n").find(line) != std::string::npos)
    clone.insert(clone.end(), {"--branch", SourceBackup::kBranch});
  clone.insert(clone.end(), {"--", url_, "."});
  CommandResult cloned = GitDeployer::RunStreamed(clone, Options(stage), callback_);
  if (Cancelled()) return Cancel(error);
  if (!cloned.succeeded()) {
    *error = "cannot restore from " + shown + ": " +
             (cloned.started ? "git clone failed (see its output)" : cloned.error);
    return false;
  }
  std::error_code ec;
  if (!fs::is_directory(fs::path(stage) / Workspace::kConfigDir, ec)) {
    *error = shown + " holds no blog (no config/ folder)";
    return false;
  }
  if (!LeaveOutEscapingLinks(stage, error)) return false;
  ClonePublishedSite(stage);
  if (Cancelled()) return Cancel(error);
  if (skeleton_.empty()) return true;
  return ContainedTree::CopyMissing((fs::path(skeleton_) / Workspace::kTemplateDir).string(),
                                    (fs::path(stage) / Workspace::kTemplateDir).string(), error);
}

bool GitCloneSource::LeaveOutEscapingLinks(const std::string& stage, std::string* error) {
  std::vector<std::string> removed;
  bool done = ContainedTree::RemoveEscapingLinks(stage, &removed, error);
  for (const std::string& link : removed) {
    if (callback_) callback_("left out of the restored blog: " + link + "\n");
  }
  return done;
}

bool GitCloneSource::Cancel(std::string* error) {
  *error = "cancelled";
  return false;
}

void GitCloneSource::ClonePublishedSite(const std::string& stage) {
  std::string text;
  JsonDocument config;
  if (!ReadTextFile(Workspace::Path(stage, Workspace::kBaseConfig), &text) || !config.Parse(text))
    return;  // the build reports a broken base.json with its line
  std::string url = config.GetText("system.deployUrl");
  std::error_code ec;
  if (url.empty() || fs::exists(fs::path(stage) / Workspace::kPublicDir, ec)) return;
  CommandResult clone = GitDeployer::RunStreamed({"git", "clone", "--branch", GitDeployer::kBranch,
                                                  "--", url, std::string(Workspace::kPublicDir)},
                                                 Options(stage), callback_);
  if (clone.succeeded() || !callback_ || Cancelled()) return;
  callback_("the published site at " + GitDeployer::WithoutPassword(url) +
            " was not fetched; the blog is restored, and its first publish will ask "
            "before it replaces the site there\n");
}

}  // namespace tarn
