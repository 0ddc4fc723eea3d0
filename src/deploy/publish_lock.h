// PublishLock: one publish at a time on one blog. The lock is flock() on
// the workspace's .tarn/publish.lock, which holds the PID of the process
// that has it; the kernel lets go of it when that process ends, however
// it ends, so a lock is never left behind by a run that crashed.
//
// Thread safety: none; one object per publishing process.
#pragma once

#include <string>

namespace tarn {

class Workspace;

class PublishLock {
 public:
  enum class Result { kTaken, kBusy, kFailed };

  explicit PublishLock(const Workspace& workspace);
  ~PublishLock();  // lets go of the lock when taken
  PublishLock(const PublishLock&) = delete;
  PublishLock& operator=(const PublishLock&) = delete;

  // Takes the lock without waiting. kBusy when another process has it
  // (*holder gets its PID, 0 when the file does not say); kFailed with
  // *error ("PATH: reason") when the lock file cannot be made.
  Result TryTake(long* holder, std::string* error);

  // Why a run that found the lock taken by holder (0: unknown) does
  // nothing: "PATH: the blog is busy: ...; try again when it has finished".
  std::string BusyReason(long holder) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace tarn
