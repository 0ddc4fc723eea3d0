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
// A post may open with front matter (see FrontMatter). Its title, slug,
// dates, tags, categories, description, draft and pinned state, aliases
// then come from there, and its record gets five more members after the
// seven: tags, categories, description, excerpt and front. A post without
// front matter keeps exactly the seven.
//
// Thread safety: the functions keep no state.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/diagnostics.h"
#include "data/json_document.h"

namespace tarn {

struct PostFile {
  std::string name;         // file name in _posts/, "Hello.MD"
  std::string path;         // full path
  std::string title;        // "Hello", or the front matter's title
  std::string content;      // the file's bytes ("" when unreadable)
  std::string post_time;    // "2020-02-05 14:03:09", local time
  std::string update_time;  // same form
  std::string slug;         // the article's file name without ".html"; see kMaxSlugBytes

  // What the front matter says; has_front false: the post has none (or it
  // could not be read), and the members below keep their defaults.
  bool has_front = false;
  std::size_t body = 0;  // where the Markdown after the front matter starts
  bool draft = false;
  // When the post goes live: its publishDate, else its date; none when
  // the front matter gives neither (such a post is never scheduled).
  std::optional<std::time_t> publish_time;
  double pin = 0;  // sticky weight: pinned when above 0, higher first
  std::vector<std::string> tags;
  std::vector<std::string> categories;
  std::vector<std::string> aliases;
  std::string description;
  bool has_more = false;  // the body has a line "<!-- more -->"
  std::string excerpt;    // HTML before that line; filled in by whoever converts
  JsonDocument front;     // every key as written

  // True when the post is dated after now: scheduled, and left out of the
  // site as a draft is until then.
  bool ScheduledAfter(std::time_t now) const { return publish_time && *publish_time > now; }

  // The Markdown that is converted for the article page.
  std::string_view Markdown() const { return std::string_view(content).substr(body); }

  // The longest slug: SLUG.html must fit a file name's 255 bytes. A longer
  // one, from front matter or a long file name, is shortened
  // (PostIndex::ShortName).
  static constexpr std::size_t kMaxSlugBytes = 250;

  // The folder under public/ that holds the article pages.
  static constexpr char kArticleFolder[] = "articles";
  // Its article page, relative to public/: "articles/SLUG.html".
  std::string ArticleFile() const { return std::string(kArticleFolder) + "/" + slug + ".html"; }
  // The address of that page: url_prefix + "/articles/" + the slug as it
  // goes into a link (PostIndex::ArticleLink).
  std::string Url(std::string_view url_prefix) const;
};

// Which posts a build shows: the one rule for drafts and scheduled posts,
// so that every page, list, feed and index leaves out the same posts.
struct PostFilter {
  bool drafts = false;  // drafts too (--drafts)
  bool future = false;  // posts scheduled after now too (--future)
  std::time_t now = 0;  // the build's time (Clock::Now)

  bool Shows(const PostFile& post) const {
    return (drafts || !post.draft) && (future || !post.ScheduledAfter(now));
  }
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

  // Leaves out the posts filter does not show; with newest_first, sorts by
  // pinned weight, then post time, newest first (ties keep name order).
  static void Arrange(std::vector<PostFile>* posts, const PostFilter& filter, bool newest_first);

  // True when the Markdown has a line that is the excerpt marker "<!-- more
  // -->", with any spaces or tabs (or none) around "more".
  static bool HasMoreLine(std::string_view markdown);
  // The HTML before the first excerpt marker in a converted post; "" without
  // one.
  static std::string ExcerptOf(std::string_view html);

  // The number of posts in posts_dir (0 when it is missing), without
  // reading them; names that are not valid UTF-8 are not counted.
  static int Count(const std::string& posts_dir);

  // True for a file name that ends in ".md", ignoring case.
  static bool IsPostName(std::string_view file_name);
  // True when name is valid UTF-8: a post whose file name is not is left
  // out (Scan), since its title could not be written in a page or a link,
  // so whatever names a new post checks this first.
  static bool IsUtf8Name(std::string_view name);
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

  // name when it is at most max_bytes long; otherwise its first
  // kShortNameBytes bytes (cut where a character starts), "~" and 16 hex
  // digits of a hash of whole, so that long names cut alike stay apart.
  // For names that become file names (slugs, tag folders).
  static constexpr std::size_t kShortNameBytes = 160;
  static std::string ShortName(std::string_view name, std::string_view whole,
                               std::size_t max_bytes);

  // url_prefix + "/articles/" + LinkName(title) + ".html".
  static std::string ArticleLink(std::string_view url_prefix, std::string_view title);

  // Reads the one post at path as Scan reads each of its posts (title and
  // slug from the file name, times, text, front matter); what is wrong with
  // it goes to sink. False when the file cannot be examined (it is gone).
  static bool ReadPost(const std::string& path, PostFile* post, const DiagnosticSink& sink);

  // Takes over what the front matter at the start of post->content says
  // (title, slug, dates, draft, tags, ...), as Scan does; what it cannot
  // use goes to sink. Returns false when there is no readable front matter.
  static bool ReadFront(PostFile* post, const DiagnosticSink& sink);

  // Adds the index to *data (create_time from now; author and system.url
  // read from *data; each record as PostView makes it). Never fails; a
  // document without a tree gets one.
  static void Fill(JsonDocument* data, const std::vector<PostFile>& posts,
                   const std::string& url_prefix, std::time_t now);
};

}  // namespace tarn
