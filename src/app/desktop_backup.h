// DesktopBackup: the desktop program's backups of the workspace's sources
// (SourceBackup): the manager page's "备份" command and, with conf.ini's
// AutoBackup=1, the automatic ones (see AutoBackup).
//
// The backup after a save is a local commit made on a worker thread
// (BackgroundTask): typing and saving never wait on git. A save while that
// commit runs asks for one more commit after it, so the last save is
// always in the history. git's output goes to the console window as it
// arrives; a failed automatic backup opens the console window and says why
// there and on standard error, without a message box per save.
//
// The backups with a push (the page's command, after a publish) run on the
// user-interface thread through the command runner, which keeps the
// windows served meanwhile; they first wait for a commit running in the
// background, so two git processes never share the repository.
//
// Each outcome is also written to standard output ("backup: TEXT", or
// "backup: failed: TEXT"), as the program's other events are.
//
// Destroying the object waits for a commit running in the background to
// end (git is never cut short); its outcome is then not reported.
//
// Thread safety: user-interface thread only.
#pragma once

#include <functional>
#include <string>

#include "deploy/background_task.h"
#include "deploy/source_backup.h"

typedef struct _GtkWindow GtkWindow;

namespace tarn {

class ConsoleWindow;

class DesktopBackup {
 public:
  // workspace is the blog's root folder. console is not owned and must
  // outlive this object; owner gives the window the console opens over
  // (may return null).
  DesktopBackup(std::string workspace, ConsoleWindow* console, std::function<GtkWindow*()> owner);

  // Whether the automatic backups are on (conf.ini's AutoBackup).
  void set_automatic(bool on) { automatic_ = on; }
  bool automatic() const { return automatic_; }

  // After a successful save: with AutoBackup on, starts a local commit in
  // the background (or asks for one after the running commit or BackUp);
  // else nothing. Returns at once; the outcome is reported when git ends.
  void AfterSave();

  static constexpr char kAlreadyRunning[] =
      "a backup is already running; try again when it has finished";

  // Commits and, when url is not empty, pushes to url; returns the outcome
  // when git is done. Waits for a background commit first. Not ok with
  // kAlreadyRunning, and nothing done, while another BackUp runs.
  BackupOutcome BackUp(const std::string& url);

  // Iterates the main context until no background commit runs, including
  // one a save asked for while the first ran.
  void WaitIdle();

 private:
  void StartCommit();
  // Writes the outcome to standard output, and a failure to standard error
  // and the console, which opens for it when automatic.
  void Report(const BackupOutcome& outcome, bool automatic);

  std::string workspace_;
  ConsoleWindow* console_;
  std::function<GtkWindow*()> owner_;
  bool automatic_ = false;
  bool commit_again_ = false;  // a save came while git was running
  bool backing_up_ = false;    // BackUp is running
  BackgroundTask task_;
};

}  // namespace tarn
