// AutosaveStore: the editor's safety copies of unsaved text, kept under the
// workspace's .tarn/autosave/ folder so that a crash or a power cut loses at
// most the last few seconds of typing. One copy per post: posts of _posts/
// under posts/<file name>, a post opened from elsewhere under
// other/<hash of its path>-<file name>, a new post that has no file yet as
// new.md. A copy is written atomically and removed once the post is saved.
//
// Thread safety: no state beyond the paths; any thread.
#pragma once

#include <string>

namespace tarn {

class AutosaveStore {
 public:
  // root is the workspace root.
  explicit AutosaveStore(std::string root);

  // The copy's path for the post at post_path ("" for a new post).
  std::string PathFor(const std::string& post_path) const;

  // Writes text as the copy for post_path, creating the folders. Returns
  // false with *error when it cannot be written.
  bool Write(const std::string& post_path, const std::string& text, std::string* error) const;

  // The copy for post_path into *text; false when there is none.
  bool Read(const std::string& post_path, std::string* text) const;

  // Removes the copy for post_path, if any.
  void Remove(const std::string& post_path) const;

 private:
  std::string root_;
};

}  // namespace tarn
