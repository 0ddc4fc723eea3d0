// SiteBuilder: the site generator of one workspace. It owns the site data
// (config/base.json plus what the program adds: system.articleCount,
// system.head, and from a build on the post index, assetsPath, the theme's
// _conf.json as theme and the last article's post.*), renders the manager
// page through the page's TplRender, and builds the whole site into
// public/ (Build).
//
// A build is a flat list of steps, one file each (render/*.h): the post
// index (database.json), the theme's assets, the index and its pages, the
// timeline, the feed, the articles, the theme's extra pages, tag and
// category pages, the Markdown pages of _pages/, the search index, the
// sitemap, aliases' redirect pages and the workspace's static/ files. Each
// step reads the build through a SiteRender and writes through a
// PublicFolder; a theme that asks for no extra pages (paginate, search,
// tag or category templates, sitemap) gets the three pages, the feed, the
// index and the articles only, as ever.
//
// Markdown conversion (markToHtml) and the manager page (TplRender) are page
// JavaScript, called through a ScriptHost that the front end supplies.
// Failures are returned as the documented results; the reasons go to the
// DiagnosticSink (which file, which line, what is wrong).
//
// Thread safety: none; the front end uses it from one thread at a time.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "data/diagnostics.h"
#include "data/json_document.h"
#include "render/site_config.h"

namespace tarn {

class MarkdownConverter;
class OutputTree;
class PublicFolder;
class ScriptHost;
struct PostFile;
struct PublicRecord;

class SiteBuilder {
 public:
  // root: the workspace folder, without a trailing separator. The host and
  // the sink may be null (no conversion; reasons dropped) and are not owned.
  SiteBuilder(std::string root, ScriptHost* host, DiagnosticSink sink);
  ~SiteBuilder();

  void set_script_host(ScriptHost* host) { host_ = host; }
  ScriptHost* script_host() const { return host_; }

  // When set, the build has the converter turn every post into HTML at
  // once (the command line: several script hosts, a cache between builds)
  // instead of calling the host's markToHtml post by post. Not owned.
  void set_markdown_converter(MarkdownConverter* converter) { converter_ = converter; }

  // Whether drafts (front matter draft: true or published: false) are
  // built like other posts; by default they are left out everywhere.
  void set_include_drafts(bool include) { include_drafts_ = include; }
  // Whether posts scheduled for later (dated after Clock::Now) are built:
  // the site as it will be once they are due. By default they are left
  // out everywhere, as drafts are.
  void set_include_future(bool include) { include_future_ = include; }
  // Whether the articles' plain text, heading ids and contents are kept
  // between builds in .tarn/ (ArticleTextCache); by default each build
  // makes them afresh and writes no file.
  void set_keep_article_texts(bool keep) { keep_article_texts_ = keep; }

  // Whether a build into public/ on disk keeps the pages' RenderMemo in
  // the workspace's state folder and skips expanding the pages whose
  // inputs did not change since the last build. Off by default (every
  // page renders; a build into another tree never keeps one); the front
  // ends that keep the conversion cache turn it on with it.
  void set_render_memo(bool keep) { render_memo_ = keep; }

  // Where the site is written: public/ on disk unless given another tree
  // (a test's folder in memory). Not owned; null for public/.
  void set_output_tree(OutputTree* tree) { output_tree_ = tree; }

  // Loads the settings (SiteConfig::Load: base.json as written, AbsoluteUrl
  // from conf.ini) into the site data, counts the posts into
  // system.articleCount and sets system.head. A base.json that cannot be
  // read or parsed, or is not an object, is reported (file, line, column,
  // parser error) and leaves the site data without its keys
  // (system.articleCount and system.head are still set); returns false
  // then, true otherwise.
  bool LoadConfig();

  // The whole site into public/ (see above). True when index, timeline and
  // feed were written; false (with the reason reported) when one rendered
  // empty; the files written before that stay. Also false, after writing
  // everything else, when posts could not be converted (the page defines no
  // markToHtml, or it threw), a file could not be written, or one would
  // have been written or removed through a symbolic link inside public/ (it
  // is not). False at once, writing nothing, when the last LoadConfig
  // failed, when public/ itself is a symbolic link, or when a build is
  // already running (a page call in the middle of one).
  // A build into public/ on disk keeps its PublicRecord: the alias pages it
  // wrote, and whether drafts or scheduled posts were built (set before the
  // first page is written, cleared by a good build without them).
  // system.deployUrl and system.sourceUrl, which may hold credentials, are
  // out of the site data while the build renders: no generated file holds
  // them.
  bool Build();

  // Calls the page's TplRender with the template file's text and the site
  // data's JSON text; returns its result ("" when the call fails, reported).
  // kWithout leaves out each post's text (its "content"), which the manager
  // page does not show: the desktop program renders its page so after a
  // build, when thousands of posts would otherwise cross twice.
  enum class PostText { kWith, kWithout };
  std::string ScriptRender(const std::string& template_path,
                           PostText text_of_posts = PostText::kWith);

  // The settings as the last LoadConfig read them.
  const SiteConfig& config() const { return config_; }
  const std::string& root() const { return config_.workspace().root(); }
  const JsonDocument& site_data() const { return data_; }

 private:
  void Report(const std::string& message) const;
  // The build's steps over its posts and pages, keeping the PublicRecord
  // of public/ up to date; Build's result.
  // started: the time the site is built as of; scheduled: whether posts
  // or pages scheduled for later are among them.
  bool RunSteps(std::vector<PostFile>* posts, const std::vector<PostFile>& pages,
                std::time_t started, bool scheduled);
  // The steps themselves, writing through out.
  bool RunStepsInto(PublicFolder* out, std::vector<PostFile>* posts,
                    const std::vector<PostFile>& pages, std::time_t started);
  // Writes the record, reporting why it cannot.
  void SaveRecord(const PublicRecord& record) const;

  ScriptHost* host_;
  MarkdownConverter* converter_ = nullptr;
  DiagnosticSink sink_;
  SiteConfig config_;
  JsonDocument data_;
  bool include_drafts_ = false;
  bool include_future_ = false;
  bool keep_article_texts_ = false;
  bool in_build_ = false;
  bool render_memo_ = false;
  OutputTree* output_tree_ = nullptr;
};

}  // namespace tarn
