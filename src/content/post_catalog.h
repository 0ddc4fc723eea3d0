// PostCatalog: the posts as the desktop program lists them: file name,
// title, times, draft flag, when a scheduled post goes live, and tags,
// newest first. It reads only what a
// list needs (the file's times and, where there is one, its front matter at
// the top of the file), never a whole post, so listing stays cheap with
// thousands of posts.
//
// Thread safety: no state; any thread.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace tarn {

struct PostSummary {
  std::string name;   // file name in _posts/
  std::string title;  // the front matter's title, else from the file name
  // The front matter's dates where it gives them, else the file's times.
  std::string post_time;    // "yyyy-MM-dd HH:mm:ss"
  std::string update_time;  // same form
  bool draft = false;
  // When a post dated after now goes live (PostFile::publish_time), as
  // post_time is written; "" for a post that is not scheduled.
  std::string scheduled;
  std::vector<std::string> tags;
};

class PostCatalog {
 public:
  // The posts of posts_dir, newest post time first (ties by file name). A
  // missing folder gives none; a file that vanishes meanwhile is left out.
  // now decides which posts are scheduled (Clock::Now for the list shown).
  static std::vector<PostSummary> Read(const std::string& posts_dir, std::time_t now);

  // The summaries as a JSON array of objects with the members name, title,
  // post_time, update_time, draft, scheduled and tags, in the given order.
  static std::string ToJson(const std::vector<PostSummary>& posts);
};

}  // namespace tarn
