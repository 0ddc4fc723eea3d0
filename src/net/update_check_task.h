// UpdateCheckTask: runs one update check on a thread of its own and hands a
// found notice to a GLib main context, for the desktop program, whose
// window may be gone before a slow check ends.
//
// The thread keeps only a weak reference to the task's state, so the
// callback runs on the context's thread while the task exists and never
// after it has been destroyed: an owner that dies first (a closed window)
// is never called. Nothing waits for the thread; it ends by itself within
// the checker's time-out.
#pragma once

#include <glib.h>

#include <functional>
#include <memory>

#include "net/update_checker.h"

namespace tarn {

class UpdateCheckTask {
 public:
  using Found = std::function<void(const UpdateNotice& notice)>;

  // Starts the check at once. found runs on context's thread (the thread
  // that iterates it), only when a newer build exists and this task still
  // exists then. Create and destroy the task on that same thread.
  UpdateCheckTask(GMainContext* context, Found found, UpdateChecker checker = UpdateChecker());
  ~UpdateCheckTask();

  UpdateCheckTask(const UpdateCheckTask&) = delete;
  UpdateCheckTask& operator=(const UpdateCheckTask&) = delete;

 private:
  struct Shared {
    Found found;
  };
  std::shared_ptr<Shared> shared_;
};

}  // namespace tarn
