#include "workspace/workspace_creator.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

#include "workspace/workspace.h"
#include "workspace/workspace_locator.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

std::string Reason(int error_number) { return std::strerror(error_number); }

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// Renames from to to unless to exists. File systems without an atomic
// no-replace rename get a check followed by a plain rename.
bool MoveNoReplace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (Exists(to)) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// Holds back the signals that end a program while the blog is moved into
// place; they are delivered when it goes.
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, s);
    pthread_sigmask(SIG_BLOCK, &held, &old_);
  }
  ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

// The refusals that need no staging: a blog already there, a name that is
// no folder, a parent that is missing.
bool CheckTarget(const fs::path& target, bool exists, std::string* error) {
  std::error_code ec;
  if (exists && !fs::is_directory(target, ec)) {
    *error = target.string() + ": exists and is not a folder";
    return false;
  }
  for (std::string_view marker : {Workspace::kConfigDir, Workspace::kPostsDir}) {
    if (exists && Exists(target / marker)) {
      *error = target.string() + ": already holds a blog (" + std::string(marker) + "/ is there)";
      return false;
    }
  }
  if (!exists && !fs::is_directory(target.parent_path(), ec)) {
    *error = target.parent_path().string() + ": no such folder";
    return false;
  }
  return true;
}

// Moves the entries of stage into the existing folder target, config/ last
// so that target holds no workspace until everything else is there. On a
// failure the moved entries go back and the target is as it was.
bool MoveEntries(const fs::path& stage, const fs::path& target, std::string* error) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(stage, ec))
    names.push_back(entry.path().filename().string());
  if (ec) {
    *error = stage.string() + ": " + ec.message();
    return false;
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string_view config = Workspace::kConfigDir;
    return (a == config) != (b == config) ? b == config : a < b;
  });
  for (const std::string& name : names) {
    if (Exists(target / name)) {
      *error = (target / name).string() + ": already there; a new blog never replaces a file";
      return false;
    }
  }
  HeldSignals held;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (MoveNoReplace(stage / names[i], target / names[i])) continue;
    *error = (target / names[i]).string() + ": " + Reason(errno);
    while (i-- > 0) ::rename((target / names[i]).c_str(), (stage / names[i]).c_str());
    return false;
  }
  return true;
}

// Removes the staging folders in home that runs which were killed left
// behind, once they are old enough (see WorkspaceCreator). Only folders of
// exactly the staging name's form count; a link of that name is no stage.
void RemoveStaleStages(const fs::path& home) {
  const std::string_view prefix = WorkspaceCreator::kStagePrefix;
  const auto now = fs::file_time_type::clock::now();
  std::vector<fs::path> stale;
  std::error_code ec;
  for (fs::directory_iterator it(home, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code entry_error;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0 ||
        !fs::is_directory(it->symlink_status(entry_error)))
      continue;
    const auto modified = fs::last_write_time(it->path(), entry_error);
    if (!entry_error && now - modified >= WorkspaceCreator::kStaleStageAge)
      stale.push_back(it->path());
  }
  for (const fs::path& stage : stale) fs::remove_all(stage, ec);
}

}  // namespace

bool WorkspaceCreator::Create(const std::string& target_path, SkeletonSource& source,
                              std::string* error, const std::atomic<bool>* cancel) {
  std::string ignored;
  if (!error) error = &ignored;
  const fs::path target = WorkspaceLocator::Absolute(target_path);
  const bool exists = Exists(target);
  if (!CheckTarget(target, exists, error)) return false;

  // The stage sits where the blog goes, on the same file system, so that
  // moving it into place is a rename.
  const fs::path home = exists ? target : target.parent_path();
  RemoveStaleStages(home);
  std::string pattern = (home / kStagePrefix).string() + "XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    *error = home.string() + ": cannot create a folder there: " + Reason(errno);
    return false;
  }
  const fs::path stage = pattern;
  // mkdtemp makes the folder private; the blog gets a new folder's usual
  // permissions.
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(stage.c_str(), 0777 & ~mask);

  bool done = source.Fill(stage.string(), error);
  if (cancel && cancel->load()) {
    *error = "cancelled";
    done = false;
  }
  std::error_code ec;
  if (done && !(fs::is_directory(stage / Workspace::kConfigDir, ec) &&
                fs::is_directory(stage / Workspace::kTemplateDir, ec))) {
    *error = source.Describe() + " is no complete blog (it lacks config/ or template/)";
    done = false;
  }
  if (done && !exists) {
    HeldSignals held;
    done = MoveNoReplace(stage, target);
    if (!done) *error = target.string() + ": " + Reason(errno);
  } else if (done) {
    done = MoveEntries(stage, target, error);
  }
  if (!done || exists) fs::remove_all(stage, ec);
  return done;
}

}  // namespace tarn
