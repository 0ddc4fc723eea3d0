// WorkspaceCreator: makes a new blog in a folder from a SkeletonSource.
//
// It never overwrites a file, and an interrupted run leaves either nothing
// or a complete blog: the source fills a staging folder beside the target
// (".tarn-init-*"), and only a complete workspace is moved into place. A
// target that does not exist yet is the staging folder renamed, in one
// step. Into an existing folder (which must not hold a workspace yet) the
// top-level entries are moved one by one, never replacing anything, with
// the signals that end a program held back; a failed move puts back what
// was moved.
//
// A run that is cancelled (see Create) removes its staging folder; one that
// was killed outright leaves it, and the next run in the same folder
// removes such folders once they are a day old (a younger one may belong
// to a run still going).
//
// Thread safety: any thread, but not two creators on one target at once.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "workspace/skeleton_source.h"

namespace tarn {

class WorkspaceCreator {
 public:
  // The staging folder's name starts with this.
  static constexpr char kStagePrefix[] = ".tarn-init-";

  // How old a staging folder is before a later run removes it.
  static constexpr std::chrono::hours kStaleStageAge{24};

  // Makes a blog in target (absolute or relative to the current folder)
  // from source. Refuses a target that holds config/ or _posts/ already,
  // or an entry of the new blog's, and a missing parent folder. Returns
  // false with the folder or file and the reason in *error; "cancelled"
  // when cancel (null, or a flag that outlives the call) was set before
  // the blog was moved into place.
  static bool Create(const std::string& target, SkeletonSource& source, std::string* error,
                     const std::atomic<bool>* cancel = nullptr);
};

}  // namespace tarn
