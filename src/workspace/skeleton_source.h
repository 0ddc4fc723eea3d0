// SkeletonSource: where the files of a new blog come from. `tarn init` and
// the desktop program's first start fill a staging folder from a source and
// then move the finished blog into place (see WorkspaceCreator), so a source
// only ever writes into a fresh, empty folder of its own.
#pragma once

#include <string>

namespace tarn {

class SkeletonSource {
 public:
  virtual ~SkeletonSource() = default;

  // What the blog is made from, for messages ("the bundled blog in DIR").
  virtual std::string Describe() const = 0;

  // Fills the empty folder stage with a complete workspace. Returns false
  // with the file and reason in *error; the caller then removes stage.
  // May take long (a download); runs on the caller's thread.
  virtual bool Fill(const std::string& stage, std::string* error) = 0;
};

}  // namespace tarn
