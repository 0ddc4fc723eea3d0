// SourceBackup: keeps the workspace's own sources (posts, settings, themes,
// pages, static/) in a git repository of the workspace itself and, when a
// URL is given, pushes its branch main there. The generated site (public/,
// a repository of its own), the program's private state (.tarn/) and the
// page the program generates (template/index.html) never go in, whether
// they are folders, files or links: a restore would write through a link.
//
// A folder that holds a git repository of its own (a theme cloned from its
// author, say) goes in as files, like any other folder: left as git would
// leave it (a link to a commit of a repository the backup does not hold),
// the restored blog would have an empty theme that does not build. Its
// history stays in its own .git. A registered submodule is left as the
// user set it up.
//
// The repository is the user's: a backup only adds commits. It never
// rewrites history, resets, force-pushes, deletes a branch or changes a
// remote; a repository in a state it does not expect (a merge, rebase or
// cherry-pick in progress, a detached HEAD) is reported and left alone.
//
// git runs with an argument vector in the workspace, without standard input
// and with GIT_TERMINAL_PROMPT=0 (see GitDeployer::GitOptions). Notices and
// git's live output go to the output callback; reasons that did not come
// from git go to the diagnostic sink.
//
// Thread safety: none; one thread uses it (see CommandRunner about the main
// context it keeps running).
#pragma once

#include <string>
#include <vector>

#include "data/diagnostics.h"
#include "deploy/command_runner.h"
#include "deploy/git_deployer.h"

namespace tarn {

struct BackupOutcome {
  bool ok = false;
  bool committed = false;  // a new commit was made
  std::string message;     // what happened, for the user
};

class SourceBackup {
 public:
  // The branch a new repository starts on and the one that is pushed.
  static constexpr const char* kBranch = "main";
  // The lines the workspace's .gitignore must hold.
  static const std::vector<std::string>& IgnoredPaths();

  SourceBackup(std::string workspace, OutputCallback callback, DiagnosticSink sink);

  // Makes the workspace a repository when it is none, completes its
  // .gitignore and commits every change with a message naming what changed.
  // ok with committed == false when nothing changed. Not ok (message says
  // why) when the workspace is missing, the repository is in an unexpected
  // state or git failed.
  BackupOutcome Commit();

  // Commit, then, when url is not empty, pushes main to url: a push rejected
  // because the remote moved on is followed by a merge of the remote's main
  // (git pull --no-rebase) and a second push; a merge that conflicts is
  // aborted, leaving the work tree as it was. ok only when the last push
  // succeeded.
  BackupOutcome Backup(const std::string& url);

  // The commit message for the output of "git diff --cached --name-status"
  // taken after "git add -A": "3 posts changed, 1 added; 2 other files
  // changed". Empty when nothing is staged.
  static std::string DescribeChanges(const std::string& name_status);

 private:
  // Empty when the repository may be committed to, else why not.
  std::string UnexpectedState();
  // Makes git add take in the files of every folder that holds a
  // repository of its own and is neither tracked as files yet nor ignored
  // nor a submodule: an index entry inside it (added to *placeholders; it
  // exists only in the index, so git add removes it again) makes git walk
  // it as an ordinary folder. False, with the folder in *failed, when git
  // failed.
  bool MarkEmbeddedRepositories(std::vector<std::string>* placeholders, std::string* failed);
  bool IsSubmodule(const std::string& folder);
  // Takes the generated paths out of the index, whatever git add made of
  // them. False when git failed.
  bool LeaveOutGeneratedPaths();
  bool EnsureRepository();
  bool EnsureIgnoreFile();
  bool Push(const std::string& url, BackupOutcome* outcome);
  CommandResult Run(const std::vector<std::string>& argv);
  CommandResult RunQuietly(const std::vector<std::string>& argv);
  void Notify(const std::string& text);

  std::string workspace_;
  OutputCallback callback_;
  DiagnosticSink sink_;
};

}  // namespace tarn
