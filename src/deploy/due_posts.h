// DuePosts: what `tarn publish --due` decides by. A post scheduled for
// later (PostFile::publish_time) is due once its time has come; the blog
// is published when a post became due since the last successful publish,
// or when it was never published.
//
// The last publish is kept in the workspace's .tarn/publish-due: its time
// (seconds since the epoch) on the first line, then the file name of each
// dated post that had gone live by then and was published for the first
// time, one a line. A file that is missing, or that cannot be read as
// such, counts as never published: publishing an unchanged site again
// commits and pushes nothing, so the worst a damaged file costs is one
// publish too many.
//
// Thread safety: none; one object per publishing process (PublishLock).
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "content/post_index.h"

namespace tarn {

class Workspace;

class DuePosts {
 public:
  // Reads the workspace's record of the last publish (none when missing
  // or damaged).
  explicit DuePosts(const Workspace& workspace);

  // The posts of the workspace as a publish sees them: _posts/ with its
  // drafts left out. What cannot be read is left to the build to report.
  static std::vector<PostFile> Read(const Workspace& workspace);

  // Whether a publish was recorded.
  bool published_before() const { return last_.has_value(); }

  // The file names of the posts that went live after the last publish and
  // by now, and that it did not publish; in name order.
  std::vector<std::string> Due(const std::vector<PostFile>& posts, std::time_t now) const;

  // The scheduled post that goes live next after now; null when none is.
  static const PostFile* Next(const std::vector<PostFile>& posts, std::time_t now);

  // Records a successful publish at now of posts (atomically). False with
  // *error ("PATH: reason") when the record cannot be written.
  bool Record(const std::vector<PostFile>& posts, std::time_t now, std::string* error) const;

 private:
  std::string path_;
  std::optional<std::time_t> last_;
  std::vector<std::string> published_;  // sorted
};

}  // namespace tarn
