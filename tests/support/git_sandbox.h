// GitSandbox: a git configuration of a test's own, so that neither the
// machine's nor the user's settings (identity, default branch, hooks,
// credential helpers) reach the git a test runs, and commits carry a fixed
// identity.
//
// It lives in a TempDir the test owns: DIR/gitconfig and an empty DIR/home.
// Fails the running test (ADD_FAILURE) when they cannot be written.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace tarn {

class GitSandbox {
 public:
  using Variables = std::vector<std::pair<std::string, std::string>>;

  // default_branch is what `git init` names the first branch, chosen by the
  // test so that code which assumes one name is caught.
  GitSandbox(const TempDir& dir, const std::string& default_branch);

  // HOME, GIT_CONFIG_GLOBAL, GIT_CONFIG_NOSYSTEM and the author and committer
  // names and addresses, for a git (or a tarn) the test starts.
  const Variables& variables() const { return variables_; }
  // Sets variables() in this process, for code under test that runs git
  // itself. Call from the test's own thread, before anything runs git.
  void Apply() const;

 private:
  Variables variables_;
};

}  // namespace tarn
