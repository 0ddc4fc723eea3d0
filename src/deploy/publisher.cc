#include "deploy/publisher.h"

#include <glib.h>
#include <glib/gi18n.h>

#include <filesystem>

#include "data/text_file.h"
#include "data/translation.h"
#include "deploy/deploy_targets.h"
#include "deploy/git_deployer.h"
#include "deploy/git_target.h"
#include "render/public_record.h"
#include "render/site_builder.h"

namespace tarn {
namespace {

constexpr char kReadme[] =
    R"(> 这个博客由 **Tarn Blog Editor** 生成并自动部署。本文件随站点一起发布，每次推送都会被重新写入。

# Tarn Blog Editor

## 简介

Tarn Blog Editor 是一个桌面静态博客编辑器：用 Markdown 写文章，一键把整个站点渲染成静态页面，再通过 git 推送到你的仓库（例如 GitHub Pages 或任何 git 托管服务）。

## 如何使用

### 0x00

所有配置都在工作区的 `/config` 目录下。`base.json` 保存站点信息：标题、作者、使用的主题（`system.theme`）以及推送地址（`system.deployUrl`）。

### 0x01

在主界面新建文章，编辑器中按 `Ctrl+S` 保存，文章保存在 `_posts` 目录。点击渲染生成站点，点击推送把 `public/` 发布出去。

### 0x02

推送依赖 git 命令行工具，请先安装 git（https://git-scm.com/downloads），并配置好 `user.name`、`user.email` 和仓库的访问权限。

### 0x03

`config/conf.ini` 的 `[base]` 中，`ShowDOS=1` 打开 git 输出窗口；`AbsoluteUrl=1` 让页面使用站点地址作为资源前缀，主题模板里用 `{$assetsPath}` 引用资源目录。

## 自建主题

主题放在 `themes/<主题名>/` 下，需要 `index.mtpl`、`timeline.mtpl`、`post.mtpl` 三个模板和一个 `assets` 目录，额外的页面登记在 `_conf.json` 中。

## 联系我

有问题或建议，欢迎在项目主页提交 issue。
)";

}  // namespace

Publisher::Publisher(SiteBuilder* site, GitDeployer* git, DiagnosticSink sink)
    : site_(site), git_(git), sink_(std::move(sink)) {}

const char* Publisher::ReadmeText() { return kReadme; }

std::string Publisher::ForeignSiteText() {
  return _(
      "推送已停止：远程仓库的 master 上已经发布过一个站点（根目录有 index.html），"
      "而 public/ 的历史里没有它，推送会用现在的站点盖过它。\n"
      "要找回原来的博客，请用 tarn init DIR --from URL 从备份恢复；"
      "要有意用现在的站点替换它（旧站点留在 git 历史中），"
      "请用 tarn push --replace 或 tarn publish --replace。");
}

Publisher::PushResult Publisher::CommitAndPush() {
  report_.clear();
  if (!target_.empty() || DeployTargets::Configured(site_->config().settings()))
    return PublishTargets();
  std::string url = site_->config().Setting("system.deployUrl");
  if (url.empty()) {
    git_->Commit();
    return PushResult::kNoUrl;
  }
  TargetRun run;
  run.replace = replace_;
  switch (GitTarget(git_, url).Publish(run)) {
    case TargetResult::kPublished:
      return PushResult::kPushed;
    case TargetResult::kForeignSite:
      return PushResult::kForeignSite;
    case TargetResult::kFailed:
    case TargetResult::kRefused:
      break;
  }
  return PushResult::kFailed;
}

Publisher::PushResult Publisher::PublishTargets() {
  DeployTargets targets(site_->config().settings(), git_);
  if (!target_.empty() && !targets.Has(target_)) {
    std::string names;
    for (const std::string& name : targets.names()) names += (names.empty() ? "" : ", ") + name;
    report_ = "No deploy target is named \"" + target_ + "\" (system.deploy in config/base.json; " +
              (names.empty() ? std::string("there are none") : "the targets: " + names) + ")\n";
    return PushResult::kFailed;
  }
  if (targets.empty()) return PushResult::kNoUrl;
  TargetRun run;
  run.workspace = site_->config().workspace().root();
  run.public_dir = site_->config().workspace().public_dir();
  run.replace = replace_;
  run.output = git_->output();
  run.sink = sink_;
  std::vector<TargetOutcome> outcomes = targets.Publish(run, target_);
  report_ = DeployTargets::Describe(outcomes);
  bool foreign = false;
  for (const TargetOutcome& outcome : outcomes) {
    if (outcome.result == TargetResult::kFailed || outcome.result == TargetResult::kRefused)
      return PushResult::kFailed;
    foreign = foreign || outcome.result == TargetResult::kForeignSite;
  }
  return foreign ? PushResult::kForeignSite : PushResult::kPushed;
}

DeployOutcome Publisher::Outcome(PushResult result, bool rendered) const {
  DeployOutcome outcome = Describe(result, rendered);
  if (report_.empty()) return outcome;
  // The report says which target holds a site tarn did not publish and how
  // to go on; the git remote's text would not fit a folder.
  if (result == PushResult::kForeignSite)
    outcome.message = Describe(PushResult::kFailed, rendered).message;
  outcome.message = report_ + outcome.message;
  return outcome;
}

DeployOutcome Publisher::Describe(PushResult result, bool rendered) {
  switch (result) {
    case PushResult::kPushed:
      return {true, rendered ? _("渲染完成并已经自动推送") : _("推送成功"), kSucceed};
    case PushResult::kNoUrl:
      if (rendered) return {true, _("渲染完成"), kSucceed};
      return {false, _("推送地址未设置，无法推送"), kError};
    case PushResult::kForeignSite: {
      std::string text = ForeignSiteText();
      if (rendered) text = Translation::Format(_("渲染完成，但%s"), text.c_str());
      DeployOutcome outcome{false, text, kError};
      outcome.foreign_site = true;
      return outcome;
    }
    case PushResult::kFailed:
      break;
  }
  return {false,
          rendered ? _("渲染完成，但推送失败，请查看控制台输出") : _("推送失败，请查看控制台输出"),
          kError};
}

DeployOutcome Publisher::Push() {
  DeployOutcome refused;
  if (RefuseLinkedSite(&refused) || RefuseDrafts(&refused)) return refused;
  return Outcome(CommitAndPush(), false);
}

bool Publisher::RefuseDrafts(DeployOutcome* outcome) const {
  PublicRecord record = PublicRecord::Load(site_->config().workspace());
  if (record.drafts) {
    *outcome = {false,
                _("推送已停止：public/ 是连同草稿一起渲染的（tarn build --drafts），"
                  "推送会把草稿发布出去，并永远留在 git 历史中。\n"
                  "请先不带 --drafts 重新渲染（tarn build）再推送，或者直接用 tarn publish。"),
                kError};
    return true;
  }
  if (!record.future) return false;
  *outcome = {false,
              _("push stopped: public/ was built with the posts dated later (tarn build "
                "--future); a push would publish them before their time.\n"
                "Build again without --future (tarn build) and push, or use tarn publish."),
              kError};
  return true;
}

bool Publisher::RefuseLinkedSite(DeployOutcome* outcome) const {
  const std::string public_dir = site_->config().workspace().public_dir();
  if (!g_file_test(public_dir.c_str(), G_FILE_TEST_IS_SYMLINK)) return false;
  *outcome = {
      false,
      Translation::Format(_("推送已停止：%s 是一个符号链接，tarn 不会通过它写入、提交或推送。\n"
                            "请把它换成一个文件夹，再渲染并推送。"),
                          public_dir.c_str()),
      kError};
  return true;
}

DeployOutcome Publisher::PushRendered() { return Outcome(CommitAndPush(), true); }

DeployOutcome Publisher::RenderingAndPush() {
  DeployOutcome refused;
  if (RefuseLinkedSite(&refused)) return refused;
  std::string public_dir = site_->config().workspace().public_dir();
  std::error_code ec;
  std::filesystem::create_directories(public_dir, ec);
  std::string error;
  if (!WriteTextFile(public_dir + "/README.md", kReadme, &error) && sink_) sink_(error);

  bool built = build_ ? build_() : site_->Build();
  if (!built) return {false, _("渲染出错，请确认文件是否完整"), kError, true};
  return PushRendered();
}

}  // namespace tarn
