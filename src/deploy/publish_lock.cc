#include "deploy/publish_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "data/text_file.h"
#include "workspace/workspace.h"

namespace tarn {

PublishLock::PublishLock(const Workspace& workspace)
    : path_(Workspace::Path(workspace.state_dir(), "publish.lock")) {}

PublishLock::~PublishLock() {
  if (fd_ >= 0) close(fd_);  // closing lets go of the flock
}

PublishLock::Result PublishLock::TryTake(long* holder, std::string* error) {
  *holder = 0;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
  int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = path_ + ": cannot be opened: " + std::strerror(errno);
    return Result::kFailed;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int reason = errno;
    close(fd);
    if (reason != EWOULDBLOCK) {
      *error = path_ + ": cannot be locked: " + std::strerror(reason);
      return Result::kFailed;
    }
    std::string text;
    if (ReadTextFile(path_, &text)) *holder = std::strtol(text.c_str(), nullptr, 10);
    return Result::kBusy;
  }
  // The PID is for the message of a run that finds the lock taken; the
  // lock itself is the flock.
  // A lock whose file could not take the PID still keeps a second run out.
  std::string pid = std::to_string(getpid()) + "\n";
  [[maybe_unused]] bool noted = ftruncate(fd, 0) == 0 && write(fd, pid.data(), pid.size()) ==
                                                             static_cast<ssize_t>(pid.size());
  fd_ = fd;
  return Result::kTaken;
}

std::string PublishLock::BusyReason(long holder) const {
  std::string who = holder > 0 ? "another run (PID " + std::to_string(holder) + ")" : "another run";
  return path_ + ": the blog is busy: " + who + " is publishing it; try again when it has finished";
}

}  // namespace tarn
