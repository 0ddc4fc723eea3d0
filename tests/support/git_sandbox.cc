#include "support/git_sandbox.h"

#include <stdlib.h>

#include <filesystem>

namespace tarn {

GitSandbox::GitSandbox(const TempDir& dir, const std::string& default_branch) {
  const std::string config =
      dir.Write("gitconfig", "[init]\n\tdefaultBranch = " + default_branch + "\n");
  std::filesystem::create_directories(dir / "home");
  variables_ = {{"HOME", (dir / "home").string()},
                {"GIT_CONFIG_GLOBAL", config},
                {"GIT_CONFIG_NOSYSTEM", "1"},
                {"GIT_AUTHOR_NAME", "Tarn Test"},
                {"GIT_AUTHOR_EMAIL", "test@example.invalid"},
                {"GIT_COMMITTER_NAME", "Tarn Test"},
                {"GIT_COMMITTER_EMAIL", "test@example.invalid"}};
}

void GitSandbox::Apply() const {
  for (const auto& [name, value] : variables_) setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace tarn
