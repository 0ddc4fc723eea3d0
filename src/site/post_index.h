// PostIndex: what a post is to the site generator, and the post index built
// from all of them.
//
// A post is a file in _posts/ whose name ends in ".md" (any case). Its title
// is the file name with every ".md" removed, ignoring case ("a.md.md" gives
// "a", "Notes.MD" gives "Notes"); its content is the file's text, header
// block included; its post time is the file's birth time where the file
// system keeps one, else its modification time; its update time is the
// modification time. Posts are taken in byte order of their UTF-8 names, so
// two builds of the same workspace give the same output.
//
// The index adds create_time, generation_tool, posts (one record per post:
// title, url, absolute_url, content, author, post_time, update_time, in that
// order) and timeline (month groups in order of their first post, keyed as
// "二月,2020") to the site data, replacing posts and timeline afresh.
//
// Thread safety: the functions keep no state.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "data/diagnostics.h"
#include "data/json_document.h"

namespace tarn {

struct PostFile {
  std::string name;         // file name in _posts/, "Hello.MD"
  std::string path;         // full path
  std::string title;        // "Hello"
  std::string content;      // the file's bytes ("" when unreadable)
  std::string post_time;    // "2020-02-05 14:03:09", local time
  std::string update_time;  // same form
};

class PostIndex {
 public:
  // The posts of posts_dir in name order, read completely. Posts that cannot
  // be read, or whose text is not UTF-8, are reported (and kept, unreadable
  // ones with empty content); a missing folder gives no posts, silently.
  // Files whose names are not valid UTF-8 are reported and left out; their
  // number goes to *skipped when given.
  static std::vector<PostFile> Scan(const std::string& posts_dir, const DiagnosticSink& sink,
                                    int* skipped = nullptr);

  // The number of posts in posts_dir (0 when it is missing), without
  // reading them; names that are not valid UTF-8 are not counted.
  static int Count(const std::string& posts_dir);

  // True for a file name that ends in ".md", ignoring case.
  static bool IsPostName(std::string_view file_name);
  // The file name with every ".md" removed, ignoring case.
  static std::string TitleOf(std::string_view file_name);
  // The title as it goes into a link: space, '#', '?', '%', '"', '<', '>',
  // '\' and control characters percent-encoded; everything else, non-ASCII
  // included, unchanged.
  static std::string LinkName(std::string_view title);
  // "二月,2020" for month 2 of 2020; months outside 1..12 give "".
  static std::string MonthKey(int year, int month);
  // The month key of a time written as "yyyy-MM-dd HH:mm:ss"; "" when the
  // text has another form.
  static std::string MonthKeyOf(std::string_view post_time);
  // Local time as "yyyy-MM-dd HH:mm:ss".
  static std::string FormatPostTime(std::time_t time);
  // Local time as "yyyy-M-d HH:mm:ss" (no leading zeros in month and day).
  static std::string FormatCreateTime(std::time_t time);
  // Birth (else modification) and modification time of path, formatted as
  // FormatPostTime does. Returns false, leaving both untouched, when the file
  // cannot be examined.
  static bool GetPostTimes(const std::string& path, std::string* post_time,
                           std::string* update_time);

  // url_prefix + "/articles/" + LinkName(title) + ".html".
  static std::string ArticleLink(std::string_view url_prefix, std::string_view title);

  // Adds the index to *data (create_time from now; author and system.url
  // read from *data). Never fails; a document without a tree gets one.
  static void Fill(JsonDocument* data, const std::vector<PostFile>& posts,
                   const std::string& url_prefix, std::time_t now);
};

}  // namespace tarn
