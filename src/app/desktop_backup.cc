#include "app/desktop_backup.h"

#include <glib/gi18n.h>

#include <cstdio>
#include <memory>
#include <utility>

#include "app/console_window.h"
#include "deploy/auto_backup.h"

namespace tarn {

DesktopBackup::DesktopBackup(std::string workspace, ConsoleWindow* console,
                             std::function<GtkWindow*()> owner)
    : workspace_(std::move(workspace)), console_(console), owner_(std::move(owner)) {}

void DesktopBackup::AfterSave() {
  if (!automatic_) return;
  if (task_.running() || backing_up_) {
    commit_again_ = true;
    return;
  }
  StartCommit();
}

void DesktopBackup::StartCommit() {
  commit_again_ = false;
  auto outcome = std::make_shared<BackupOutcome>();
  task_.Start(
      [workspace = workspace_, outcome](const OutputCallback& output) {
        // Reasons that are not git's reach the console as its output does.
        *outcome = AutoBackup::AfterSave(workspace, output,
                                         [output](const std::string& reason) { output(reason); });
      },
      [console = console_](const std::string& text) { console->Output(text); },
      [this, outcome] {
        Report(*outcome, true);
        // A backup waiting for this commit takes the save in.
        if (commit_again_ && !backing_up_) StartCommit();
      });
}

void DesktopBackup::WaitIdle() { task_.Wait(); }

BackupOutcome DesktopBackup::BackUp(const std::string& url) {
  // The windows are served while git runs: a second command may come in.
  if (backing_up_) return {false, false, kAlreadyRunning};
  backing_up_ = true;
  WaitIdle();
  auto to_console = [console = console_](const std::string& text) { return console->Output(text); };
  BackupOutcome outcome = AutoBackup::AfterPublish(workspace_, url, to_console, to_console);
  backing_up_ = false;
  Report(outcome, false);
  // A save made while git ran may have missed the commit.
  if (commit_again_) StartCommit();
  return outcome;
}

void DesktopBackup::Report(const BackupOutcome& outcome, bool automatic) {
  std::printf("backup: %s%s\n", outcome.ok ? "" : "failed: ", outcome.message.c_str());
  std::fflush(stdout);
  if (outcome.ok) {
    console_->Output(outcome.message);
    return;
  }
  std::fprintf(stderr, "tarn: %s\n", outcome.message.c_str());
  // An automatic backup has no message box of its own: the console says it.
  if (automatic && !console_->is_open()) console_->Open(owner_ ? owner_() : nullptr);
  console_->Output(std::string(automatic ? _("自动备份失败：") : _("备份失败：")) +
                   outcome.message);
}

}  // namespace tarn
