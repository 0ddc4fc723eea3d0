#include "deploy/source_backup.h"

#include <glib.h>

#include <filesystem>
#include <sstream>
#include <string_view>
#include <utility>

#include "data/text_file.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

// Paths in git's output are relative to the workspace: "_posts/NAME.md".
const std::string kPostsFolder = std::string(Workspace::kPostsDir) + "/";

// The index entry that makes git walk a folder holding a repository of its
// own; no such file exists, so git add -A takes it out again.
constexpr char kPlaceholder[] = ".tarn-embedded-repository";

// Folders below root that hold a repository of their own (a .git folder or
// file), relative to root. Links are not followed; root's .git and the
// generated paths are not searched.
std::vector<std::string> FindEmbeddedRepositories(const std::string& root) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::path relative = it->path().lexically_relative(root);
    if (it->path().filename() == ".git") {
      if (it.depth() > 0) found.push_back(relative.parent_path().string());
      it.disable_recursion_pending();
      continue;
    }
    for (std::string_view generated : Workspace::kGeneratedPaths)
      if (relative == generated) it.disable_recursion_pending();
  }
  return found;
}

std::string TrimLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

// "1 post changed, 2 added" from counts in the order changed, added,
// renamed, deleted; empty when all are zero.
std::string Phrase(const char* noun, const int counts[4]) {
  static const char* kVerbs[4] = {"changed", "added", "renamed", "deleted"};
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if (counts[i] == 0) continue;
    if (text.empty())
      text = std::to_string(counts[i]) + " " + noun + (counts[i] == 1 ? " " : "s ") + kVerbs[i];
    else
      text += ", " + std::to_string(counts[i]) + " " + kVerbs[i];
  }
  return text;
}

}  // namespace

const std::vector<std::string>& SourceBackup::IgnoredPaths() {
  // As .gitignore lines: "/public/", "/.tarn/", "/template/index.html".
  auto anchored = [](std::string_view path, std::string_view end) {
    return "/" + std::string(path) + std::string(end);
  };
  static const std::vector<std::string> kPaths = {anchored(Workspace::kPublicDir, "/"),
                                                  anchored(Workspace::kStateDir, "/"),
                                                  anchored(Workspace::kManagerPage, "")};
  return kPaths;
}

SourceBackup::SourceBackup(std::string workspace, OutputCallback callback, DiagnosticSink sink)
    : workspace_(std::move(workspace)), callback_(std::move(callback)), sink_(std::move(sink)) {}

std::string SourceBackup::DescribeChanges(const std::string& name_status) {
  int posts[4] = {0, 0, 0, 0};
  int others[4] = {0, 0, 0, 0};
  std::istringstream lines(name_status);
  for (std::string line; std::getline(lines, line);) {
    std::size_t tab = line.rfind('\t');
    if (line.empty() || tab == std::string::npos) continue;
    // The new name is the last field; a name git had to quote starts with '"'.
    std::string path = line.substr(tab + 1);
    if (!path.empty() && path[0] == '"') path.erase(0, 1);
    int kind;
    switch (line[0]) {
      case 'M':
      case 'T':
        kind = 0;
        break;
      case 'A':
      case 'C':
        kind = 1;
        break;
      case 'R':
        kind = 2;
        break;
      case 'D':
        kind = 3;
        break;
      default:
        continue;
    }
    bool post = path.rfind(kPostsFolder, 0) == 0;
    ++(post ? posts : others)[kind];
  }
  std::string post_text = Phrase("post", posts);
  std::string other_text = Phrase(post_text.empty() ? "file" : "other file", others);
  if (post_text.empty()) return other_text;
  if (other_text.empty()) return post_text;
  return post_text + "; " + other_text;
}

BackupOutcome SourceBackup::Commit() {
  BackupOutcome outcome;
  if (!g_file_test(workspace_.c_str(), G_FILE_TEST_IS_DIR)) {
    outcome.message = "cannot back up: the folder " + workspace_ + " does not exist";
    return outcome;
  }
  if (!EnsureRepository()) {
    outcome.message = "cannot back up: git could not make " + workspace_ + " a repository";
    return outcome;
  }
  std::string unexpected = UnexpectedState();
  if (!unexpected.empty()) {
    outcome.message = "backup left the repository alone: " + unexpected;
    return outcome;
  }
  if (!EnsureIgnoreFile()) {
    outcome.message = "cannot back up: " + workspace_ + "/.gitignore could not be written";
    return outcome;
  }
  std::vector<std::string> placeholders;
  std::string folder;
  if (!MarkEmbeddedRepositories(&placeholders, &folder)) {
    outcome.message = "backup failed: git could not take in the files of " + folder +
                      ", a folder that holds a repository of its own";
    return outcome;
  }
  if (!Run({"git", "add", "-A", "."}).succeeded()) {
    if (!placeholders.empty()) {
      placeholders.insert(placeholders.begin(), {"git", "--literal-pathspecs", "rm", "-q",
                                                 "--cached", "--ignore-unmatch", "--"});
      RunQuietly(placeholders);
    }
    outcome.message = "backup failed: git add did not succeed (see its output)";
    return outcome;
  }
  if (!LeaveOutGeneratedPaths()) {
    outcome.message = "backup failed: git rm --cached did not succeed";
    return outcome;
  }
  // Not -z: the command runner's output stops at a zero byte.
  CommandResult status =
      RunQuietly({"git", "-c", "core.quotePath=false", "diff", "--cached", "--name-status", "-M"});
  if (!status.succeeded()) {
    outcome.message = "backup failed: git diff did not succeed";
    return outcome;
  }
  std::string message = DescribeChanges(status.output);
  if (message.empty()) {
    outcome.ok = true;
    outcome.message = "nothing changed since the last backup";
    return outcome;
  }
  if (!Run({"git", "commit", "-q", "-m", message}).succeeded()) {
    outcome.message = "backup failed: git commit did not succeed (see its output)";
    return outcome;
  }
  outcome.ok = outcome.committed = true;
  outcome.message = "backed up: " + message;
  return outcome;
}

BackupOutcome SourceBackup::Backup(const std::string& url) {
  BackupOutcome outcome = Commit();
  if (!outcome.ok || url.empty()) return outcome;
  Notify(outcome.message);
  outcome.ok = Push(url, &outcome);
  return outcome;
}

bool SourceBackup::Push(const std::string& url, BackupOutcome* outcome) {
  std::string shown = GitDeployer::WithoutPassword(url);
  CommandResult branch = RunQuietly({"git", "symbolic-ref", "-q", "HEAD"});
  if (TrimLine(branch.output) != std::string("refs/heads/") + kBranch) {
    outcome->message = std::string("backup committed but not pushed: the workspace is on ") +
                       TrimLine(branch.output) + ", not on branch " + kBranch;
    return false;
  }
  const std::string ref = std::string("refs/heads/") + kBranch;
  // "--": a URL that starts with a dash is a URL, not an option.
  const std::vector<std::string> push = {"git", "push", "--", url, ref + ":" + ref};
  CommandResult first = Run(push);
  if (first.succeeded()) {
    outcome->message += "; pushed to " + shown;
    return true;
  }
  if (!first.started || first.stopped || !GitDeployer::IsRejectedAsBehind(first.output)) {
    outcome->message = "backup committed but the push to " + shown + " failed (see git's output)";
    return false;
  }
  Notify("the backup remote has changes this workspace lacks; merging them first");
  CommandResult pull = Run({"git", "pull", "--no-rebase", "--no-edit",
                            "--allow-unrelated-histories", "--", url, kBranch});
  if (!pull.succeeded()) {
    if (pull.started &&
        RunQuietly({"git", "rev-parse", "-q", "--verify", "MERGE_HEAD"}).succeeded()) {
      std::string files = RunQuietly({"git", "diff", "--name-only", "--diff-filter=U"}).output;
      // Conflict markers must never be committed by the next backup; the
      // abort puts every file back as it was before the merge.
      Run({"git", "merge", "--abort"});
      outcome->message = "backup committed but not pushed: the backup at " + shown +
                         " and this workspace both changed:\n" + files +
                         "The merge was undone; nothing was lost. Merge by hand in " + workspace_ +
                         " with: git pull --no-rebase <source URL> " + kBranch;
    } else {
      outcome->message =
          "backup committed but fetching from " + shown + " failed (see git's output)";
    }
    return false;
  }
  if (!Run(push).succeeded()) {
    outcome->message =
        "backup committed and merged but the push to " + shown + " failed (see git's output)";
    return false;
  }
  outcome->message += "; merged the remote's changes and pushed to " + shown;
  return true;
}

bool SourceBackup::MarkEmbeddedRepositories(std::vector<std::string>* placeholders,
                                            std::string* failed) {
  std::string empty_file;
  for (const std::string& folder : FindEmbeddedRepositories(workspace_)) {
    *failed = folder;
    CommandResult index =
        RunQuietly({"git", "--literal-pathspecs", "ls-files", "-s", "--", folder});
    // What git add made of it before: a commit of the folder's repository.
    bool gitlink = index.output.rfind("160000 ", 0) == 0;
    if (!index.succeeded()) return false;
    if (!index.output.empty() && !gitlink) continue;  // git walks a tracked folder already
    if (IsSubmodule(folder) ||
        RunQuietly({"git", "check-ignore", "-q", "--no-index", "--", folder}).succeeded())
      continue;
    if (empty_file.empty()) {
      CommandResult blob = RunQuietly({"git", "hash-object", "-w", "/dev/null"});
      empty_file = TrimLine(blob.output);
      if (!blob.succeeded() || empty_file.empty()) return false;
    }
    if (gitlink && !RunQuietly({"git", "update-index", "--force-remove", "--", folder}).succeeded())
      return false;
    std::string placeholder = folder + "/" + kPlaceholder;
    if (!RunQuietly(
             {"git", "update-index", "--add", "--cacheinfo", "100644", empty_file, placeholder})
             .succeeded())
      return false;
    placeholders->push_back(placeholder);
    Notify(folder + " holds a git repository of its own; the backup takes its files, " +
           "not its history");
  }
  return true;
}

bool SourceBackup::IsSubmodule(const std::string& folder) {
  if (!g_file_test((workspace_ + "/.gitmodules").c_str(), G_FILE_TEST_EXISTS)) return false;
  return RunQuietly({"git", "config", "-f", ".gitmodules", "--fixed-value", "--get-regexp",
                     "^submodule\\..*\\.path$", folder})
      .succeeded();
}

bool SourceBackup::LeaveOutGeneratedPaths() {
  // .gitignore's "/public/" matches a folder only: a link named public went
  // in with git add, and so may anything an earlier backup let in.
  std::vector<std::string> argv = {"git", "rm", "-r", "-q", "-f", "--cached", "--ignore-unmatch",
                                   "--"};
  for (std::string_view path : Workspace::kGeneratedPaths) argv.emplace_back(path);
  return RunQuietly(argv).succeeded();
}

bool SourceBackup::EnsureRepository() {
  std::string git_path = workspace_ + "/.git";
  if (g_file_test(git_path.c_str(), G_FILE_TEST_EXISTS)) return true;
  return Run({"git", "-c", std::string("init.defaultBranch=") + kBranch, "init"}).succeeded();
}

std::string SourceBackup::UnexpectedState() {
  // One git for every marker of an operation in progress: each is a file
  // or folder in the git directory while the operation waits for the user.
  static const char* const kMarkers[][2] = {{"MERGE_HEAD", "a merge"},
                                            {"CHERRY_PICK_HEAD", "a cherry-pick"},
                                            {"REVERT_HEAD", "a revert"},
                                            {"rebase-merge", "a rebase"},
                                            {"rebase-apply", "a rebase"}};
  std::vector<std::string> argv = {"git", "rev-parse", "--path-format=absolute"};
  for (const auto& marker : kMarkers) {
    argv.push_back("--git-path");
    argv.push_back(marker[0]);
  }
  CommandResult paths = RunQuietly(argv);
  if (paths.succeeded()) {
    std::istringstream lines(paths.output);
    std::string path;
    for (const auto& marker : kMarkers) {
      if (!std::getline(lines, path)) break;
      if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS))
        return std::string(marker[1]) + " is in progress in " + workspace_ +
               "; finish or abort it first";
    }
  }
  if (!RunQuietly({"git", "symbolic-ref", "-q", "HEAD"}).succeeded())
    return "HEAD in " + workspace_ + " is detached; check out a branch first";
  return std::string();
}

bool SourceBackup::EnsureIgnoreFile() {
  std::string path = workspace_ + "/.gitignore";
  std::string text;
  std::string error;
  if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS) && !ReadTextFile(path, &text, &error)) {
    if (sink_) sink_(error);
    return false;
  }
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(TrimLine(line));
  std::string missing;
  for (const std::string& entry : IgnoredPaths()) {
    bool found = false;
    for (const std::string& line : lines) found = found || line == entry;
    if (!found) missing += entry + "\n";
  }
  if (missing.empty()) return true;
  if (!text.empty() && text.back() != '\n') text += '\n';
  if (WriteTextFile(path, text + missing, &error)) return true;
  if (sink_) sink_(error);
  return false;
}

CommandResult SourceBackup::Run(const std::vector<std::string>& argv) {
  CommandResult result =
      GitDeployer::RunStreamed(argv, GitDeployer::GitOptions(workspace_), callback_);
  if (!result.started && sink_) sink_(result.error);
  return result;
}

CommandResult SourceBackup::RunQuietly(const std::vector<std::string>& argv) {
  return CommandRunner::RunProgram(argv, GitDeployer::GitOptions(workspace_));
}

void SourceBackup::Notify(const std::string& text) {
  if (callback_) callback_(GitDeployer::WithoutPassword(text) + "\n");
}

}  // namespace tarn
