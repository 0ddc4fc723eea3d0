#include "deploy/git_target.h"

namespace tarn {

GitTarget::GitTarget(GitDeployer* git, std::string url) : git_(git), url_(std::move(url)) {}

std::string GitTarget::address() const { return GitDeployer::WithoutPassword(url_); }

bool GitTarget::Check(const std::string& /*workspace*/, std::string* error) const {
  if (!url_.empty()) return true;
  *error = "the git target has no \"url\" and system.deployUrl is empty";
  return false;
}

TargetResult GitTarget::Publish(const TargetRun& run) {
  std::string error;
  if (!Check(run.workspace, &error)) {
    if (run.sink) run.sink(error);
    return TargetResult::kRefused;
  }
  // A failed commit is not pushed: the remote would get the previous state
  // while the user believes the new one went out.
  if (!git_->Commit() || !git_->SetRemote(url_)) return TargetResult::kFailed;
  switch (git_->CheckRemoteSite()) {
    case RemoteSite::kUnknown:
      return TargetResult::kFailed;
    case RemoteSite::kForeign:
      if (!run.replace) return TargetResult::kForeignSite;
      if (!git_->ReplaceRemoteSite()) return TargetResult::kFailed;
      break;
    case RemoteSite::kJoinable:
    case RemoteSite::kUnreachable:  // the push says why, in git's words
      break;
  }
  return git_->Push() ? TargetResult::kPublished : TargetResult::kFailed;
}

}  // namespace tarn
