#include "deploy/git_deployer.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace tarn {
namespace {

// The commit timestamps count from the Unix epoch as read on a clock eight
// hours ahead of UTC, whatever the machine's own zone.
constexpr long long kEpochOffsetSeconds = 8 * 3600;

// The characters of an address's scheme ("https", "git+ssh").
bool IsSchemeChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

bool GitDeployer::InitRepository(const std::string& work_dir, OutputCallback callback) {
  work_dir_ = work_dir;
  if (callback) callback_ = std::move(callback);
  if (!g_file_test(work_dir_.c_str(), G_FILE_TEST_IS_DIR)) {
    Report("cannot prepare the git repository: the folder " + work_dir_ + " does not exist");
    return false;
  }
  // git init and every later command would work in the link's target,
  // outside the blog.
  if (g_file_test(work_dir_.c_str(), G_FILE_TEST_IS_SYMLINK)) {
    Report(work_dir_ +
           ": is a symbolic link; git is not set up through it (replace it by a folder)");
    return false;
  }
  std::string git_dir = work_dir_ + "/.git";
  if (g_file_test(git_dir.c_str(), G_FILE_TEST_IS_DIR)) {
    Notify(kRepositoryReadyNotice);
    return true;
  }
  // Every push names master, so the repository must start on master even
  // when the user's init.defaultBranch says otherwise.
  return RunInWorkDir({"git", "-c", std::string("init.defaultBranch=") + kBranch, "init"})
      .succeeded();
}

bool GitDeployer::SetRemote(const std::string& url) {
  remote_url_ = url;
  CommandResult remotes = RunInWorkDir({"git", "remote", "-v"});
  if (!remotes.succeeded()) return false;
  // The URL as configured (get-url would apply insteadOf rewriting).
  CommandResult origin = RunQuietly({"git", "config", "--get", "remote.origin.url"});
  // "--": a URL that starts with a dash is a URL, not an option of git remote.
  if (remotes.output.size() <= 4 || !origin.succeeded())
    return RunInWorkDir({"git", "remote", "add", "--", "origin", url}).succeeded();
  std::string current = origin.output;
  while (!current.empty() && (current.back() == '\n' || current.back() == '\r')) current.pop_back();
  if (current == url) {
    Notify(kRemoteReadyNotice);
    return true;
  }
  // The settings name where the site goes: pushing to an earlier deploy
  // URL and calling it a success would publish nothing where expected.
  Notify("origin pointed at " + current + "; it now points at " + url +
         ", the deploy URL of the settings");
  return RunInWorkDir({"git", "remote", "set-url", "--", "origin", url}).succeeded();
}

std::string GitDeployer::WithoutPassword(std::string_view text) {
  std::string shown;
  std::size_t copied = 0;
  for (std::size_t mark = text.find("://"); mark != std::string_view::npos;
       mark = text.find("://", mark + 3)) {
    std::size_t scheme = mark;
    while (scheme > 0 && IsSchemeChar(text[scheme - 1])) --scheme;
    if (scheme == mark) continue;  // "://" alone names no address
    // The user part ends at the last '@' before the path. A password may
    // hold any other character that is allowed in an address, so only
    // what never stands in one unescaped (a blank, a quote mark, '<', '>')
    // ends the search early.
    std::size_t start = mark + 3;
    std::size_t end = text.find_first_of("/?#\"<>` \t\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::size_t at = text.substr(start, end - start).rfind('@');
    if (at == std::string_view::npos || at == 0) continue;
    at += start;
    std::size_t colon = text.find(':', start);
    std::size_t keep = colon < at ? colon + 1 : start;  // a user name before a password stays
    shown.append(text.substr(copied, keep - copied));
    shown += "***";
    copied = at;
  }
  shown.append(text.substr(copied));
  return shown;
}

bool GitDeployer::Commit(std::string* message) {
  if (!RunInWorkDir({"git", "add", "-A", "."}).succeeded()) return false;
  std::string text = message ? *message : std::string();
  if (text.empty()) {
    text = AutomaticCommitMessage(std::time(nullptr));
    if (message) *message = text;
  }
  CommandResult commit = RunInWorkDir({"git", "commit", "-m", text});
  if (commit.succeeded()) return true;
  if (!commit.started || commit.stopped) return false;
  // git commit fails both when there is nothing to commit and when it
  // really failed; only a clean work tree makes it the harmless case.
  // (git's wording depends on the user's language, its status does not.)
  CommandResult status = RunQuietly({"git", "status", "--porcelain"});
  return status.succeeded() && status.output.empty();
}

bool GitDeployer::Push() {
  const std::vector<std::string> push = {"git", "push", "-u", "origin", kBranch};
  CommandResult first = RunInWorkDir(push);
  if (!first.started) return false;
  if (!first.succeeded() && IsRejectedAsBehind(first.output)) {
    Notify(_(kConflictNotice));
    Pull();  // when it fails the second push fails too and says why
  }
  return RunInWorkDir(push).succeeded();
}

RemoteSite GitDeployer::CheckRemoteSite() {
  // ls-remote first: fetching a master that does not exist fails like an
  // unreachable remote would, and an empty remote is the common first case.
  CommandResult heads =
      RunQuietly({"git", "ls-remote", "--heads", "origin", std::string("refs/heads/") + kBranch});
  if (!heads.succeeded()) return RemoteSite::kUnreachable;
  if (heads.output.find_first_not_of(" \t\r\n") == std::string::npos) return RemoteSite::kJoinable;
  // The usual case, a remote this repository pushed last: its tip is here
  // already and in master's history, so nothing needs fetching.
  std::string tip = heads.output.substr(0, heads.output.find_first_of(" \t"));
  if (RunQuietly({"git", "merge-base", "--is-ancestor", tip, "HEAD"}).succeeded())
    return RemoteSite::kJoinable;
  if (!RunInWorkDir({"git", "fetch", "--no-tags", "origin",
                     std::string("+refs/heads/") + kBranch + ":" + kRemoteBranch})
           .succeeded())
    return RemoteSite::kUnreachable;
  // A README or a licence made on the hosting site is no site to keep apart.
  if (!RunQuietly({"git", "cat-file", "-e", std::string(kRemoteBranch) + ":index.html"})
           .succeeded())
    return RemoteSite::kJoinable;
  // Nothing committed here (an empty public/): there is nothing to lay over
  // the site, and the push fails saying so in git's words.
  if (!RunQuietly({"git", "rev-parse", "-q", "--verify", "HEAD"}).succeeded())
    return RemoteSite::kJoinable;
  // Shared history is the ordinary case: earlier pushes from here, or
  // another copy of this site that pushed since (the pull in Push joins it).
  CommandResult base = RunQuietly({"git", "merge-base", "HEAD", kRemoteBranch});
  if (base.succeeded()) return RemoteSite::kJoinable;
  if (base.started && base.exit_status == 1) return RemoteSite::kForeign;
  Report("cannot compare the history of " + work_dir_ + " with origin's " + kBranch + ": " +
         base.output);
  return RemoteSite::kUnknown;
}

bool GitDeployer::ReplaceRemoteSite() {
  // The "ours" strategy keeps master's tree whole; the remote's tip becomes
  // the second parent, so its files stay reachable in the history.
  return RunInWorkDir({"git", "merge", "-s", "ours", "--allow-unrelated-histories", "--no-edit",
                       "-m", "Replace the site published earlier", kRemoteBranch})
      .succeeded();
}

bool GitDeployer::Pull() {
  // --no-rebase: git 2.27 and later refuse to reconcile diverged branches
  // without being told how. The branch is named because the first push set
  // no upstream. Unrelated histories are allowed so that a remote created
  // with a README on the hosting site can be joined.
  CommandResult pull = RunInWorkDir({"git", "pull", "--no-rebase", "--allow-unrelated-histories",
                                     "-v", "--progress", "origin", kBranch});
  if (pull.succeeded()) return true;
  if (pull.started &&
      RunQuietly({"git", "rev-parse", "-q", "--verify", "MERGE_HEAD"}).succeeded()) {
    // A merge stopped on a conflict. Leaving it would make the next commit
    // publish the conflict markers; the user's own files are untouched.
    RunInWorkDir({"git", "merge", "--abort"});
  }
  return false;
}

bool GitDeployer::Status() { return RunInWorkDir({"git", "status"}).succeeded(); }

void GitDeployer::Notify(const std::string& text) {
  if (callback_) callback_(WithoutPassword(text) + "\n");
}

CommandResult GitDeployer::RunInWorkDir(const std::vector<std::string>& argv) {
  if (work_dir_.empty()) {
    Report("cannot run git: no repository folder was set");
    return CommandResult();
  }
  CommandResult result = RunStreamed(argv, GitOptions(work_dir_), callback_);
  if (!result.started) Report(result.error);
  return result;
}

CommandResult GitDeployer::RunStreamed(const std::vector<std::string>& argv,
                                       const ProgramOptions& options,
                                       const OutputCallback& callback,
                                       std::string (*mask)(std::string_view)) {
  if (!callback) return CommandRunner::RunProgram(argv, options);
  // Held back until its line ends: a read may stop in the middle of an
  // address, where neither half shows what to mask.
  std::string pending;
  auto whole_lines = [&](const std::string& chunk) {
    pending += chunk;
    std::size_t end = pending.find_last_of("\r\n");
    if (end == std::string::npos) return 0;
    std::string lines = mask(std::string_view(pending).substr(0, end + 1));
    pending.erase(0, end + 1);
    return callback(lines);
  };
  CommandResult result = CommandRunner::RunProgram(argv, options, whole_lines);
  if (!pending.empty() && !result.stopped) callback(mask(pending));
  return result;
}

CommandResult GitDeployer::RunQuietly(const std::vector<std::string>& argv) {
  if (work_dir_.empty()) return CommandResult();
  return CommandRunner::RunProgram(argv, GitOptions(work_dir_));
}

ProgramOptions GitDeployer::GitOptions(const std::string& work_dir) {
  ProgramOptions options;
  options.work_dir = work_dir;
  // Nobody can answer a prompt: fail at once instead of waiting forever.
  options.env.push_back({"GIT_TERMINAL_PROMPT", "0"});
  // A merge made by a pull must not open an editor.
  options.env.push_back({"GIT_MERGE_AUTOEDIT", "no"});
  // Started from a git hook (deploying after each commit of the blog's own
  // repository, say), tarn inherits variables that point git at that other
  // repository; the site's commits must land in the work folder's own.
  options.unset_env = {"GIT_DIR",
                       "GIT_WORK_TREE",
                       "GIT_INDEX_FILE",
                       "GIT_COMMON_DIR",
                       "GIT_OBJECT_DIRECTORY",
                       "GIT_ALTERNATE_OBJECT_DIRECTORIES",
                       "GIT_NAMESPACE",
                       "GIT_PREFIX",
                       "GIT_SHALLOW_FILE",
                       "GIT_IMPLICIT_WORK_TREE"};
  // Without a repository of its own (git init failed, or .git was removed)
  // git would look in the folders above and find the blog's own backup
  // repository, or any other: it must stop at work_dir instead.
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::absolute(work_dir, ec).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();  // "…/public/"
  if (!ec && dir.has_parent_path())
    options.env.push_back({"GIT_CEILING_DIRECTORIES", dir.parent_path().string()});
  return options;
}

void GitDeployer::Report(const std::string& reason) {
  if (sink_)
    sink_(WithoutPassword(reason));
  else
    Notify(reason);
}

std::string GitDeployer::AutomaticCommitMessage(std::time_t now) {
  struct tm local;
  localtime_r(&now, &local);
  long long seconds = static_cast<long long>(now) + local.tm_gmtoff - kEpochOffsetSeconds;
  return std::to_string(seconds) + "000 TarnBlogEdit Commit";
}

bool GitDeployer::IsRejectedAsBehind(const std::string& push_output) {
  std::string text = Lowercase(push_output);
  // The last line of git's advice: "hint: 'git pull ...') before pushing
  // again." in older versions, "... use 'git pull' before pushing again." in
  // newer ones.
  if (text.find("before pushing again") != std::string::npos) return true;
  // The per-branch status line, which git never translates:
  //  ! [rejected]        master -> master (fetch first)
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (line.find("[rejected]") != std::string_view::npos &&
        (line.find("(fetch first)") != std::string_view::npos ||
         line.find("(non-fast-forward)") != std::string_view::npos))
      return true;
    start = end + 1;
  }
  return false;
}

}  // namespace tarn
