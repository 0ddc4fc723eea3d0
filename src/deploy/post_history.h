// PostHistory: a post's earlier versions, read from the workspace's own git
// repository (the one a backup keeps, see SourceBackup). It lists the
// commits that changed the post, following it across renames, and reads the
// post's text as one of them left it. It only reads: the repository, the
// work tree and the post on disk are never changed.
//
// Only a post directly in the workspace's _posts/ folder has a history, and
// only when the workspace folder itself holds the repository (a workspace
// inside some other repository is not looked at). Everything that comes
// from a page is checked before git sees it: a version must name a commit
// by its hexadecimal id, and its path must be a plain post name in _posts/.
//
// git runs with an argument vector in the workspace, without standard input
// and with GIT_TERMINAL_PROMPT=0 (GitDeployer::GitOptions), through the
// command runner, which keeps the calling thread's main context running
// while it waits.
//
// Thread safety: no state beyond the workspace's name; a call works on the
// calling thread (see CommandRunner about the main context it keeps running).
#pragma once

#include <glib/gi18n.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// One earlier version of a post.
struct PostVersion {
  std::string commit;     // the commit's full hexadecimal id
  std::int64_t time = 0;  // when it was committed, seconds since the epoch
  std::string subject;    // the first line of the commit's message
  std::string path;       // the post in that commit, relative to the workspace
};

struct PostHistoryListing {
  std::vector<PostVersion> versions;  // newest first, at most kMaxVersions
  // When versions is empty, why, in words for the user: no repository yet,
  // the post was never backed up, it lies outside _posts/, git failed.
  std::string reason;
};

class PostHistory {
 public:
  // A listing holds at most this many versions, the newest.
  static constexpr int kMaxVersions = 100;
  // The reasons a listing may give; the first two ask for a backup.
  static constexpr const char* kNoRepository =
      N_("还没有历史版本：工作区还没有备份过（先运行「备份」或 tarn backup）");
  static constexpr const char* kNeverBackedUp =
      N_("还没有历史版本：这篇文章还没有备份过（先运行「备份」或 tarn backup）");
  static constexpr const char* kNotAPost = N_("只有工作区 _posts 文件夹里的文章才有历史版本");

  explicit PostHistory(std::string workspace);

  // The versions of the post at post_path (a full path, or one relative to
  // the current folder), newest first. An empty list with a reason when the
  // post is not a plain .md name directly in the workspace's _posts/ (or
  // leads outside it through a link), the workspace holds no repository or
  // no commit, the post was never committed, or git failed (its output is
  // then part of the reason).
  PostHistoryListing List(const std::string& post_path) const;

  // The post's text as version left it, byte for byte. Returns false with
  // *error when the commit is no hexadecimal id, the path no post in
  // _posts/, or git cannot give the file (an unknown commit, a path the
  // commit does not hold).
  bool Read(const PostVersion& version, std::string* text, std::string* error) const;

  // True for 4 to 64 hexadecimal digits: what may follow "git show" as a
  // commit, never an option or a revision expression.
  static bool IsCommitId(std::string_view text);

  // The versions in the output of the listing's git log, which prints for
  // each commit "\x1e" id "\x1f" time "\x1f" subject, a line, then the
  // post's path in that commit (quoted by git when it holds unusual
  // characters). A commit listed without a path keeps the path of the
  // older version before it; when there is none, of the newer one after it,
  // or current_path.
  static std::vector<PostVersion> ParseLog(const std::string& output,
                                           const std::string& current_path);

  // "2026-03-05 14:07": time in the local time zone, for the list.
  static std::string DateText(std::int64_t time);

  // The listing for the editor page: {"reason": ..., "versions": [{"commit",
  // "date" (DateText), "time", "subject"}, ...]}, newest first.
  static std::string ToJson(const PostHistoryListing& listing);

 private:
  // The post's path relative to the workspace ("_posts/NAME.md"), or ""
  // with *reason when it is no post of this workspace's _posts/.
  std::string RelativePostPath(const std::string& post_path, std::string* reason) const;

  std::string workspace_;
};

}  // namespace tarn
