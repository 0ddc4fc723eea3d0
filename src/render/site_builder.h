// SiteBuilder: everything the site generator knows about one workspace. It
// owns the site data (config/base.json plus what the program adds: the post
// index, the theme's _conf.json, the post being rendered), renders theme
// templates with the native template engine, and writes the whole site into
// public/ (Build).
//
// Markdown conversion (markToHtml) and the manager page (TplRender) are page
// JavaScript, called through a ScriptHost that the front end supplies.
// Failures are returned as the documented results; the reasons go to the
// DiagnosticSink (which file, which line, what is wrong).
//
// A theme can ask for more in its _conf.json and folder: "paginate": N
// (index.mtpl once per N posts, pages 2.. as public/page/K/index.html, with
// a pager), tag and category pages (tag.mtpl, tags.mtpl, category.mtpl,
// categories.mtpl under public/tags/ and public/categories/), "search": true
// (public/search.json and search.js); the post lists of those pages hold
// the records without their Markdown. Every page gets {$rootPath}; a theme
// that uses any of these also gets each list's links relative to the page
// it is on, at any depth, and ids on its articles' headings with the table of
// contents in post.toc. With system.url set, such a theme (or one with
// "sitemap": true) also gets public/sitemap.xml, listing every page
// written. A theme that asks for none of it builds as before.
//
// Thread safety: none; the front end uses it from one thread.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "content/post_index.h"
#include "data/diagnostics.h"
#include "data/json_document.h"
#include "render/sitemap_builder.h"
#include "template/template_data.h"

namespace tarn {

class MarkdownConverter;
class OutputWriter;
class ScriptHost;
class TemplateEngine;

class SiteBuilder {
  class PrivateSettings;

 public:
  // root: the workspace folder, without a trailing separator. The host and
  // the sink may be null (no conversion; reasons dropped) and are not owned.
  SiteBuilder(std::string root, ScriptHost* host, DiagnosticSink sink);
  ~SiteBuilder();

  void set_script_host(ScriptHost* host) { host_ = host; }
  ScriptHost* script_host() const { return host_; }

  // When set, RenderPosts has the converter turn every post into HTML at
  // once (the command line: several script hosts, a cache between builds)
  // instead of calling the host's markToHtml post by post. Not owned.
  void set_markdown_converter(MarkdownConverter* converter) { converter_ = converter; }

  // Whether drafts (front matter draft: true or published: false) are
  // built like other posts; by default they are left out everywhere.
  void set_include_drafts(bool include) { include_drafts_ = include; }

  // Loads config/base.json into the site data (as written: spaces and line
  // breaks in values are kept) and reads AbsoluteUrl from config/conf.ini
  // (the URL prefix), counts the posts into system.articleCount and sets
  // system.head. A base.json that cannot be read or parsed, or is not an
  // object, is reported (file, line, column, parser error) and leaves the
  // site data without its keys (system.articleCount and system.head are
  // still set); returns false then, true otherwise.
  bool LoadConfig();

  // The whole site into public/: the post index, the theme's assets, the
  // index, timeline, feed, article and theme pages, the redirect pages of
  // posts' aliases and then the workspace's static/ folder. True when
  // index, timeline and feed were written; false (with the reason reported)
  // when one rendered empty; the files written before that stay. Also
  // false, after writing everything else, when posts could not be converted
  // (the page defines no markToHtml, or it threw), a file could not be
  // written, or one would have been written or removed through a symbolic
  // link inside public/ (it is not).
  // False at once, writing nothing, when the last LoadConfig failed.
  // system.deployUrl and system.sourceUrl, which may hold credentials, are
  // out of the site data while the build renders: no generated file holds
  // them.
  bool Build();

  std::string RenderIndex();     // "" when index.mtpl is missing or renders empty
  std::string RenderTimeline();  // "" when timeline.mtpl is missing or renders empty
  // Article files written (public/articles/SLUG.html); -1 without
  // post.mtpl; 0, reported, when no page can be written (no markToHtml, a
  // layout that cannot be read, an unusable articles folder). Pages of
  // posts that no longer exist are removed.
  int RenderPosts();
  // Renders the pages listed in the theme's _conf.json; a page whose tpl or
  // target would leave the theme folder or public/ is refused (reported).
  // Always 1.
  int RenderPages();

  // Calls the page's TplRender with the template file's text and the site
  // data's JSON text; returns its result ("" when the call fails, reported).
  std::string ScriptRender(const std::string& template_path);

  // Calls the page's markToHtml; "" when the call fails (reported).
  std::string ConvertMarkdown(const std::string& markdown);

  // Rebuilds the post index into the site data and returns a deep copy of it.
  JsonDocument GetSiteData();

  // Renders template text against the site data (inheritance, loops,
  // variables) and returns the result; "" is the callers' sign of failure.
  std::string RenderTemplate(const std::string& template_text);

  // Expands every loop of text against data.
  std::string ExpandLoops(const std::string& text, const JsonDocument& data) const;

  // Splits the post's header block (between two lines of ten dashes) at "|"
  // into *parts; returns their number, 0 when there is no header.
  int ReadPostHeader(const std::string& path, std::vector<std::string>* parts) const;

  // Builds the post index from _posts/, replaces the site data by it and
  // returns its compact JSON text.
  std::string BuildPostIndex();

  // Sets the text value at path in the site data, creating it.
  void SetVariable(const std::string& name, const std::string& value);

  // The RSS feed's text; "" on failure.
  std::string BuildFeed();

  const std::string& root() const { return root_; }
  // workspace root + "/themes/" + system.theme
  std::string ThemeDir() const;
  const std::string& url_prefix() const { return url_prefix_; }
  const JsonDocument& site_data() const { return data_; }

 private:
  void Report(const std::string& message) const;
  std::string PublicDir() const { return root_ + "/public"; }
  std::string PostsDir() const { return root_ + "/_posts"; }
  // The posts, drafts left out and in the theme's order: scanned once per
  // Build, afresh otherwise.
  const std::vector<PostFile>& Posts();
  std::vector<PostFile> ScanPosts(int* skipped = nullptr);
  // posts_[index] as HTML: from the converter (a view into what it holds)
  // or from the host's markToHtml (kept in *storage). False with *error
  // when it did not convert.
  bool PostHtml(std::size_t index, bool from_converter, std::string* storage,
                std::string_view* html, std::string* error);
  // Fills in the excerpts of posts with a "<!-- more -->" line.
  void ConvertExcerpts();
  // Sets post.* for post.mtpl.
  void SetPostVariables(const PostFile& post, std::string_view html);
  // Notes a file under public/ that this build writes.
  void Generated(const std::string& path);
  // BuildPostIndex without the serialisation.
  void RebuildIndex();
  TemplateEngine& Engine();
  JsonDocument LoadThemeConf();
  void CopyAssets();
  // False, reported and failing the build, when the tree at root holds
  // anything a recursive copy must not meet: in a source, files that are
  // not regular (links followed); in a destination, also links.
  bool CopyableTree(const std::string& root, bool source);
  // False, reported and failing the build, when path would be written
  // through a symbolic link inside public/.
  bool OutputAllowed(const std::string& path);
  // Creates the folders of the output file path once OutputAllowed says
  // nothing on the way is a link (false, reported, otherwise). A folder
  // that cannot be made is left for Write to report.
  bool MakeFoldersFor(const std::string& path);
  bool Write(const std::string& path, const std::string& text);
  bool CallMarkdown(const std::string& markdown, std::string* html, std::string* error);
  void RemoveStaleArticles(const std::string& folder, const std::vector<std::string>& keep);
  // Hands every post's Markdown to the converter, which works on it in the
  // background until RenderPosts collects it.
  void StartConverting();
  // The theme's extra pages (pagination, tags, categories, search), all
  // off for a theme that asks for none of them.
  struct Navigation {
    int paginate = 0;
    bool search = false;
    bool taxonomies = false;  // the theme has a tag or category template
    bool sitemap = false;     // asked for alone ("sitemap": true)
    bool Any() const { return paginate > 0 || search || taxonomies || sitemap; }
  };
  Navigation ReadNavigation() const;
  // The site data as a page depth folders below public/ sees it, with
  // overlay's members in front; overlay gets rootPath.
  TemplateData PageView(JsonDocument* overlay, int depth) const;
  // A link to a file under public/ ("page/2/index.html") from a page depth
  // folders down: relative, or absolute with AbsoluteUrl.
  std::string PageLink(const std::string& path, int depth) const;
  std::string RenderIndexPage(const std::string& text, const std::string& path, int page,
                              int total);
  // The theme's page NAME.mtpl over all posts (index or timeline), the
  // first index page only when paginated; "" when it is missing (the
  // reason names what the theme needs) or renders empty.
  std::string RenderPostList(const std::string& name, const std::string& what, bool paginated);
  // Resolves post.mtpl's layout once for all posts into *page and makes the
  // articles folder. False, reported, when no article page can be written
  // (no markToHtml, a broken layout, an unusable folder).
  bool PrepareArticles(const std::string& text, const std::string& path, const std::string& folder,
                       std::string* page);
  // Renders posts()[index] into page and hands it to the writer. False,
  // reported, when its page is not written.
  bool RenderArticle(const PostFile& post, std::size_t index, const std::string& page,
                     const std::string& path, const std::string& folder, OutputWriter* writer);
  // Index pages 2.. of a paginated theme; removes those of earlier builds
  // beyond the last.
  void RenderIndexPages();
  void RenderTaxonomy(const std::string& member, const std::string& folder, const std::string& one,
                      const std::string& all);
  // Turns post.tags and post.categories, where the post has them, into
  // lists of {name, url}, url leading to the tag's or category's page.
  void SetPostTerms(const PostFile& post);
  void WriteSearchIndex();
  void WriteSitemap();
  // Removes FOLDER/*/index.html (and the emptied folders) under public/ for
  // names not in keep; anything else stays.
  void RemoveStalePages(const std::string& folder, const std::set<std::string>& keep);
  std::string NewestUpdate() const;
  // A copy of posts[index] for a page's own list (a page of the index, a
  // tag's posts): every member but the post's Markdown, which lists do not
  // show and which would make ten thousand copies costly.
  JsonDocument ListRecord(int index);

  // Waits for the writer, reports each file it could not write and marks
  // the build failed then; returns how many there were.
  int ReportWriteErrors(OutputWriter* writer);

  std::string root_;
  ScriptHost* host_;
  MarkdownConverter* converter_ = nullptr;
  DiagnosticSink sink_;
  JsonDocument data_;
  std::string url_prefix_ = ".";
  bool config_loaded_ = true;  // the last LoadConfig succeeded

  // State of the Build in progress.
  bool in_build_ = false;
  bool converting_ = false;   // the converter has this build's posts
  bool index_ready_ = false;  // posts and timeline are current in data_
  bool build_failed_ = false;
  std::vector<PostFile> posts_;
  std::unique_ptr<TemplateEngine> engine_;
  bool include_drafts_ = false;
  // Paths under public/ this build writes, relative to it: static files
  // and aliases give way to them.
  std::set<std::string> generated_;
  Navigation nav_;
  SitemapBuilder sitemap_;
  std::vector<std::string> plain_texts_;  // per post, for the search index
};

}  // namespace tarn
