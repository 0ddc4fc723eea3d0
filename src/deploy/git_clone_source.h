// GitCloneSource: a new blog restored from a backup of its sources (see
// SourceBackup): git clones the backup's branch main (the remote's default
// branch when it has no main) into the staging folder, and the files a
// backup leaves out of the program's pages (their vendored libraries, say)
// are copied from the bundled blog where the clone lacks them. Nothing the
// clone holds is replaced, and nothing is written through a link: links in
// the clone that lead out of the blog, or stand where tarn writes, are
// removed first, each with a notice (see ContainedTree). When the restored settings
// name a deploy URL, the published site's master is cloned into public/ as
// well, so the first publish continues the site's history instead of
// stopping at an earlier site it does not know as its own.
//
// git runs with an argument vector, no standard input and
// GIT_TERMINAL_PROMPT=0; its output goes to the output callback as it
// arrives. A cancel flag set from another thread stops the running git
// (see ProgramOptions::cancel) and fails the fill with "cancelled".
//
// Thread safety: the caller's thread (see CommandRunner).
#pragma once

#include <atomic>
#include <string>

#include "deploy/git_deployer.h"
#include "workspace/skeleton_source.h"

namespace tarn {

class GitCloneSource : public SkeletonSource {
 public:
  // skeleton: the bundled blog's folder ("" to copy nothing from it).
  // cancel: null, or a flag that outlives the source.
  GitCloneSource(std::string url, std::string skeleton, OutputCallback callback,
                 const std::atomic<bool>* cancel = nullptr)
      : url_(std::move(url)),
        skeleton_(std::move(skeleton)),
        callback_(std::move(callback)),
        cancel_(cancel) {}

  std::string Describe() const override;
  // Clones the URL into stage, removes the links that lead out, fetches
  // the published site into public/, then copies the bundled template/
  // files the clone lacks. False, naming the URL (password left out) or
  // the file, when git could not read the URL, the clone failed or its
  // result holds no config/; "cancelled" when the cancel flag was set
  // before the fill was done. A published site that cannot be fetched (no
  // network, an empty remote) is only a notice: the blog is restored.
  bool Fill(const std::string& stage, std::string* error) override;

 private:
  // Clones system.deployUrl's master into stage/public when the settings
  // name one and there is no public/ yet; says so when that fails.
  void ClonePublishedSite(const std::string& stage);
  // ContainedTree::RemoveEscapingLinks on stage, a notice for each link.
  bool LeaveOutEscapingLinks(const std::string& stage, std::string* error);
  // Fails the fill as cancelled.
  static bool Cancel(std::string* error);
  // GitDeployer's options for git in work_dir, with the cancel flag.
  ProgramOptions Options(const std::string& work_dir) const;
  bool Cancelled() const { return cancel_ && cancel_->load(); }

  std::string url_;
  std::string skeleton_;
  OutputCallback callback_;
  const std::atomic<bool>* cancel_;
};

}  // namespace tarn
