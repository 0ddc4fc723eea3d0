// GitTarget: publishes public/ to a git remote through the GitDeployer set
// up on it: commit, point origin at the address, check that the remote's
// master holds no site public/'s history does not share (unless replacing
// was asked for), push. {"type": "git", "url": "..."} in system.deploy, or
// system.deployUrl when the list is absent; the git commands and notices
// are the same either way.
#pragma once

#include <string>

#include "deploy/deploy_target.h"

namespace tarn {

class GitTarget : public DeployTarget {
 public:
  // git is not owned and must outlive the target; it must have been
  // initialised on public/.
  GitTarget(GitDeployer* git, std::string url);

  const char* kind() const override { return "git"; }
  std::string address() const override;
  // Refuses an empty address.
  bool Check(const std::string& workspace, std::string* error) const override;
  // Commit, SetRemote, CheckRemoteSite, ReplaceRemoteSite when asked, Push.
  TargetResult Publish(const TargetRun& run) override;

 private:
  GitDeployer* git_;
  std::string url_;
};

}  // namespace tarn
