#include "app/site_commands.h"

#include <ctime>
#include <utility>

#include <gio/gio.h>
#include <glib/gi18n.h>

#include "app/browser_view.h"
#include "app/desktop_backup.h"
#include "app/reason_log.h"
#include "app/site_build.h"
#include "check/site_check.h"
#include "content/clock.h"
#include "data/translation.h"
#include "deploy/due_posts.h"
#include "deploy/publish_lock.h"
#include "deploy/publisher.h"
#include "render/site_builder.h"

namespace tarn {
namespace {

// The page's native functions, in the order they are bound.
struct Command {
  const char* name;
  void (SiteCommands::*run)();
};
constexpr Command kCommands[] = {{"RenderingAndPush", &SiteCommands::RenderingAndPush},
                                 {"Rendering", &SiteCommands::Rendering},
                                 {"Push", &SiteCommands::Push},
                                 {"showList", &SiteCommands::ShowList},
                                 {"Backup", &SiteCommands::Backup}};

}  // namespace

SiteCommands::SiteCommands(Workspace workspace, Parts parts, std::function<GtkWindow*()> parent,
                           std::function<void()> refresh)
    : workspace_(std::move(workspace)),
      parts_(parts),
      parent_(std::move(parent)),
      refresh_(std::move(refresh)) {}

void SiteCommands::Bind(BrowserView* page) {
  for (const Command& command : kCommands) {
    page->BindFunction(command.name, [this, run = command.run] { (this->*run)(); });
  }
}

void SiteCommands::Rendering() {
  if (RefuseWhileBuilding()) return;
  parts_.reasons->Take();
  bool built = parts_.build->InBackground();
  std::string reasons = built ? "" : parts_.reasons->Take();
  // The manager page lists the posts from the site data; show the new
  // index now rather than at the next timed refresh.
  if (built || parts_.build->refresh_due()) refresh_();
  if (built) {
    Message(_("渲染完成"), "Succeed");
  } else {
    Message(reasons.empty() ? _("渲染出错") : _("渲染出错\n\n") + reasons, "Error");
  }
}

void SiteCommands::RenderingAndPush() {
  if (RefuseWhileBuilding()) return;
  PublishLock lock(workspace_);
  if (RefuseWhilePublishing(&lock)) return;
  ReasonLog* reasons = parts_.reasons;
  Publisher publisher(parts_.site, parts_.deployer,
                      [reasons](const std::string& reason) { reasons->Add(reason); });
  bool declined = false;  // "no" to publishing past the check's errors
  publisher.set_build([this, build = parts_.build, &declined] {
    if (!build->InBackground()) return false;
    declined = !GoOnDespiteCheck();
    return !declined;
  });
  parts_.build->Hold();
  DeployOutcome outcome = publisher.RenderingAndPush();
  if (outcome.foreign_site && AskToReplaceSite(&publisher)) outcome = publisher.PushRendered();
  parts_.build->Release();
  if (outcome.ok) RecordPublish();
  if (outcome.ok || declined || parts_.build->refresh_due()) refresh_();
  // "No" to replacing an earlier site or to publishing past the check's
  // errors: the question said all there is.
  if (outcome.foreign_site || declined) return;
  // A failed build is the one outcome shown with the exclamation mark.
  Message(outcome.message, outcome.caption,
          outcome.build_failed ? MessageIcon::kExclamation : MessageIcon::kNone);
  if (!outcome.ok || !parts_.backup->automatic()) return;
  BackupOutcome backup = parts_.backup->BackUp(parts_.site->config().Setting("system.sourceUrl"));
  if (!backup.ok) Message(_("自动备份失败：") + backup.message, "Error", MessageIcon::kExclamation);
}

void SiteCommands::Push() {
  if (RefuseWhileBuilding()) return;
  PublishLock lock(workspace_);
  if (RefuseWhilePublishing(&lock)) return;
  ReasonLog* reasons = parts_.reasons;
  Publisher publisher(parts_.site, parts_.deployer,
                      [reasons](const std::string& reason) { reasons->Add(reason); });
  DeployOutcome outcome = publisher.Push();
  if (outcome.foreign_site && AskToReplaceSite(&publisher)) outcome = publisher.Push();
  if (!outcome.foreign_site) Message(outcome.message, outcome.caption);
}

bool SiteCommands::AskToReplaceSite(Publisher* publisher) {
  std::string question =
      _("远程仓库的 master 上已经发布过一个站点，而本地 public/ 的历史里没有它"
        "（重装系统或换了电脑之后常会这样）。\n\n"
        "是否用现在的站点替换它？旧站点会留在 git 历史中，不会强制推送。\n"
        "选「否」则什么都不推送；也可以先用 tarn init DIR --from URL 从备份恢复博客。");
  // With system.deploy the report names the target whose folder holds
  // someone else's files.
  if (!publisher->report().empty()) {
    question =
        Translation::Format(_("有发布目标的文件夹里已经有不是 tarn 发布的文件（没有 .tarn-site），"
                              "这次没有向它发送任何文件：\n\n%s\n"
                              "是否用现在的站点替换这些文件？选「否」则什么都不再发送。"),
                            publisher->report().c_str());
  }
  if (MessageBox::Ask(parent_(), question, _(kReplaceSiteCaption), false) != MessageAnswer::kYes) {
    return false;
  }
  publisher->set_replace(true);
  return true;
}

bool SiteCommands::GoOnDespiteCheck() {
  DiagnosticSink quiet = [](const std::string&) {};  // the build reported them
  CheckReport report = SiteCheck(workspace_).Run(std::time(nullptr), quiet);
  if (!report.errors()) return true;
  std::string question =
      Translation::Format(_("发布前的检查发现 %d 个错误，读者会遇到坏链接或缺失的图片：\n\n%s\n"
                            "是否仍然推送？选「否」则什么都不提交、不推送。"),
                          report.errors(), report.Text(true).c_str());
  return MessageBox::Ask(parent_(), question, _(kCheckCaption), false, MessageIcon::kExclamation) ==
         MessageAnswer::kYes;
}

void SiteCommands::Backup() {
  if (RefuseWhileBuilding()) return;
  BackupOutcome outcome = parts_.backup->BackUp(parts_.site->config().Setting("system.sourceUrl"));
  Message(outcome.message, outcome.ok ? "Succeed" : "Error",
          outcome.ok ? MessageIcon::kNone : MessageIcon::kExclamation);
}

void SiteCommands::ShowList() {
  std::string folder = workspace_.posts_dir();
  gchar* uri = g_filename_to_uri(folder.c_str(), nullptr, nullptr);
  GError* error = nullptr;
  if (!uri || !g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
    std::string reason = error ? error->message : "not a valid path";
    if (error) g_error_free(error);
    Message(Translation::Format(_("无法打开文件夹 %s\n%s"), folder.c_str(), reason.c_str()),
            "Error", MessageIcon::kExclamation);
  }
  g_free(uri);
}

bool SiteCommands::RefuseWhileBuilding() {
  if (!parts_.build->running()) return false;
  Message(SiteBuild::kRunning, "Error", MessageIcon::kExclamation);
  return true;
}

bool SiteCommands::RefuseWhilePublishing(PublishLock* lock) {
  long holder = 0;
  std::string error;
  switch (lock->TryTake(&holder, &error)) {
    case PublishLock::Result::kTaken:
      return false;
    case PublishLock::Result::kBusy:
      error = lock->BusyReason(holder);
      break;
    case PublishLock::Result::kFailed:
      break;
  }
  Message(error, "Error", MessageIcon::kExclamation);
  return true;
}

void SiteCommands::RecordPublish() {
  std::string error;
  if (!DuePosts(workspace_).Record(DuePosts::Read(workspace_), Clock::Now(), &error))
    parts_.reasons->Add(error);
}

void SiteCommands::Message(const std::string& text, const std::string& caption, MessageIcon icon) {
  MessageBox::ShowTimed(parent_(), text, caption, icon);
}

}  // namespace tarn
