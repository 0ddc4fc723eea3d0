// Publisher: the two deploy commands of the manager page, Push (commit the
// rendered site and push it) and RenderingAndPush (write the site's
// README.md, render the whole site, then do what Push does). The desktop
// program and the command line both run them through this class, so both
// show the same outcome texts.
//
// A failure is never reported as success: the outcome says "Succeed" only
// when every step that ran succeeded (git's own messages have gone to the
// deployer's output callback by then).
//
// Neither pushes over an earlier site on the remote that public/'s history
// does not share (a blog published before a reinstall, say): the outcome
// says so with foreign_site set, and set_replace(true) lets a second
// attempt join that site's history and replace its files.
//
// With system.deploy in base.json, the push goes to each target it lists
// (DeployTargets) and the outcome's message names each target's outcome
// before the summary; ok only when every target was published.
//
// The SiteBuilder must have loaded its configuration, and the GitDeployer
// must have been initialised on the workspace's public/ folder.
//
// Thread safety: none; use it on the thread that owns the builder and the
// deployer.
#pragma once

#include <functional>
#include <string>

#include "data/diagnostics.h"

namespace tarn {

class GitDeployer;
class SiteBuilder;

// What the front end shows: message with caption "Succeed" when ok, "Error"
// otherwise.
struct DeployOutcome {
  bool ok = false;
  std::string message;
  std::string caption;
  // True when the site did not build (nothing was committed or pushed):
  // the front end marks that outcome apart without reading the message.
  bool build_failed = false;
  // True when the push stopped because the remote holds an earlier site
  // that public/'s history does not share (nothing was pushed): the front
  // end may offer to run it again with set_replace(true).
  bool foreign_site = false;
};

class Publisher {
 public:
  static constexpr const char* kSucceed = "Succeed";
  static constexpr const char* kError = "Error";

  // Neither is owned; both must outlive the publisher. The sink receives
  // reasons that are not git output (the README could not be written).
  Publisher(SiteBuilder* site, GitDeployer* git, DiagnosticSink sink = nullptr);

  // How RenderingAndPush builds the site; by default the builder's Build().
  // Called on the publisher's thread; returns Build()'s result.
  void set_build(std::function<bool()> build) { build_ = std::move(build); }

  // Whether a push goes on over an earlier site on the remote that public/'s
  // history does not share, joining its history in a normal commit (never a
  // forced push). Off by default: such a push stops with foreign_site set.
  void set_replace(bool replace) { replace_ = replace; }

  // Publishes only to the target of that name (DeployTargets); "" for all.
  // A name no target has fails the push, naming the targets there are.
  void set_target(std::string name) { target_ = std::move(name); }

  // Commit; read system.deployUrl; when set, SetRemote, check the remote's
  // site and Push. "推送成功" on success, "推送地址未设置，无法推送" without
  // a deploy URL, "推送失败，请查看控制台输出" when the commit or a git step
  // failed, ForeignSiteText() with foreign_site set when the remote holds an
  // earlier site and replacing was not asked for. Refused, committing
  // nothing, when the last build into public/ built drafts or scheduled
  // posts.
  DeployOutcome Push();

  // As RenderingAndPush after its build succeeded: commit and push, with
  // RenderingAndPush's texts. For a second attempt after foreign_site.
  DeployOutcome PushRendered();

  // README.md into public/; Build; then as Push. "渲染出错，请确认文件是否完整"
  // when the build failed (nothing is committed), "渲染完成" without a deploy
  // URL, "渲染完成并已经自动推送" on success, "渲染完成，但推送失败，请查看控制台输出"
  // when the commit or a git step failed, and a foreign_site outcome as
  // Push's.
  DeployOutcome RenderingAndPush();

  // The last push's outcome of each target, one line each ("NAME (KIND
  // ADDRESS): published"); "" when it pushed to system.deployUrl alone.
  const std::string& report() const { return report_; }

  // The README.md published with the site.
  static const char* ReadmeText();

  // Why a push stopped over an earlier site, and the two ways on.
  static std::string ForeignSiteText();

 private:
  enum class PushResult { kPushed, kNoUrl, kFailed, kForeignSite };

  // True, committing nothing and with *outcome saying why, when the last
  // build into public/ built drafts or posts scheduled for later
  // (PublicRecord): once committed they would stay in the published
  // history.
  bool RefuseDrafts(DeployOutcome* outcome) const;
  // True, writing nothing and with *outcome saying why, when public/ is a
  // symbolic link: git and the build would work in its target, outside the
  // blog.
  bool RefuseLinkedSite(DeployOutcome* outcome) const;
  // Commit, then push to the deploy URL unless the remote holds a foreign
  // site and replace_ is off.
  PushResult CommitAndPush();
  // Publishes to the targets of DeployTargets, their outcomes into
  // report_. Called for system.deploy or a target named.
  PushResult PublishTargets();
  // Describe's outcome, with the targets' report (report_) before its
  // message.
  DeployOutcome Outcome(PushResult result, bool rendered) const;
  // What the front end shows for result: Push's texts, or RenderingAndPush's
  // when rendered.
  static DeployOutcome Describe(PushResult result, bool rendered);

  SiteBuilder* site_;
  std::function<bool()> build_;
  GitDeployer* git_;
  DiagnosticSink sink_;
  bool replace_ = false;
  std::string target_;
  std::string report_;
};

}  // namespace tarn
