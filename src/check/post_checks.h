// PostChecks: what tarn check finds in the posts themselves rather than in
// the pages built from them: front matter that did not parse (and posts
// that cannot be read), two published posts with the same title or the
// same slug (one article page hides the other), and dates that are likely
// typos (before 1990, or more than a year ahead), drafts included.
//
// Thread safety: a value; one thread at a time.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "check/check_report.h"
#include "content/post_index.h"
#include "workspace/workspace.h"

namespace tarn {

class PostChecks {
 public:
  // Reads every post of workspace's _posts/, each on its own, so that what
  // is wrong with one is told apart from the others.
  explicit PostChecks(const Workspace& workspace);

  // The published posts (no drafts), in name order.
  const std::vector<PostFile>& published() const { return published_; }

  // Adds what is wrong with the posts to *report, each under "_posts/NAME";
  // now: the time the dates are held against.
  void Check(std::time_t now, CheckReport* report) const;

  // "_posts/NAME" for a post.
  static std::string SourceOf(const PostFile& post);

 private:
  struct Unreadable {
    std::string source;
    std::string reason;
  };
  void CheckDuplicates(CheckReport* report) const;

  std::vector<PostFile> published_;
  // "_posts/NAME" and post time of every post, drafts and scheduled posts
  // too: a year typed wrong can be what keeps a post out of the site.
  std::vector<std::pair<std::string, std::string>> dates_;
  std::vector<Unreadable> unreadable_;
};

}  // namespace tarn
