// SiteCommands: the manager page's commands on the site: Rendering (build
// the site into public/), RenderingAndPush (build, then publish), Push,
// Backup and showList (open _posts/ in the desktop's file manager). Bind
// binds them to the page under those names (the kCommands table); the
// page's showEditor and its post list's functions are the main window's.
//
// Each command reports its own outcome in a message box that closes
// itself (showList only when the folder cannot be opened); none returns
// one. The commands that need the site builder refuse, saying so, while a
// build runs (SiteBuild); RenderingAndPush and Push also while another
// process publishes the blog (PublishLock: tarn publish --due on a timer).
//
// Thread safety: user-interface thread only.
#pragma once

#include <glib/gi18n.h>

#include <functional>
#include <string>

#include "app/message_box.h"
#include "workspace/workspace.h"

typedef struct _GtkWindow GtkWindow;

namespace tarn {

class BrowserView;
class DesktopBackup;
class PublishLock;
class GitDeployer;
class Publisher;
class ReasonLog;
class SiteBuild;
class SiteBuilder;

class SiteCommands {
 public:
  // The caption of the question whether to replace the remote's site.
  static constexpr const char* kReplaceSiteCaption = N_("替换已发布的站点");
  // The caption of the question whether to publish past the check's errors.
  static constexpr const char* kCheckCaption = N_("发布前检查");

  // The objects the commands use; none is owned, all must outlive this
  // object.
  struct Parts {
    SiteBuilder* site;
    GitDeployer* deployer;
    DesktopBackup* backup;
    SiteBuild* build;
    ReasonLog* reasons;
  };
  // parent gives the window that owns the messages and questions (may
  // return null); refresh renders the manager page again.
  SiteCommands(Workspace workspace, Parts parts, std::function<GtkWindow*()> parent,
               std::function<void()> refresh);
  SiteCommands(const SiteCommands&) = delete;
  SiteCommands& operator=(const SiteCommands&) = delete;

  // Binds the commands to page (BrowserView::BindFunction), in the table's
  // order.
  void Bind(BrowserView* page);

  // Builds the site into public/ on a thread of its own, then refreshes the
  // manager page.
  void Rendering();
  // Builds, then pushes public/ (Publisher); with AutoBackup on, a
  // successful publish is followed by a backup. RenderingAndPush and Push
  // ask, in a box, before laying the site over an earlier one on the
  // remote that public/'s history does not share; "yes" pushes again with
  // the remote's history joined, "no" leaves everything as it is.
  // RenderingAndPush runs tarn check's internal part after its build and,
  // when it finds errors, shows them and asks whether to publish anyway;
  // "no" commits and pushes nothing.
  void RenderingAndPush();
  // Pushes public/ as it is.
  void Push();
  // "备份": the workspace's sources committed and pushed to
  // system.sourceUrl (as tarn backup), git's output in the console.
  void Backup();
  // Opens _posts/ in the desktop's file manager.
  void ShowList();

 private:
  // Asks whether to replace the remote's earlier site; on "yes" turns
  // replacing on in publisher and returns true.
  bool AskToReplaceSite(Publisher* publisher);
  // Checks the site just built; true when it found no errors or the user
  // chose to publish anyway.
  bool GoOnDespiteCheck();
  // True, after saying so, while a build runs.
  bool RefuseWhileBuilding();
  // True, after saying why, when lock cannot be taken (another process
  // publishes the blog); else the caller holds it.
  bool RefuseWhilePublishing(PublishLock* lock);
  // Notes a successful publish for tarn publish --due (DuePosts).
  void RecordPublish();
  void Message(const std::string& text, const std::string& caption,
               MessageIcon icon = MessageIcon::kNone);

  Workspace workspace_;
  Parts parts_;
  std::function<GtkWindow*()> parent_;
  std::function<void()> refresh_;
};

}  // namespace tarn
