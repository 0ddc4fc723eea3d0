// SiteRender: one build in progress, as every page kind sees it: the
// settings and what the theme asks for, the site data templates read, the
// posts, the template engine, the posts' HTML and public/. SiteBuilder
// makes one per Build and hands it to each step in turn (render/*_pages.h,
// the feed, the search index, ...); it lives no longer than the build.
//
// A step that cannot do its part reports why (Fail) and the build returns
// false at its end; a step whose page the build cannot go on without
// returns false itself.
//
// Thread safety: one thread, the build's.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "content/post_index.h"
#include "content/post_view.h"
#include "data/diagnostics.h"
#include "data/json_document.h"
#include "render/article_text_cache.h"
#include "render/output_writer.h"
#include "render/post_conversion.h"
#include "render/public_folder.h"
#include "render/render_memo.h"
#include "render/responsive_images.h"
#include "render/site_config.h"
#include "template/template_data.h"
#include "template/template_engine.h"

namespace tarn {

class SiteRender {
 public:
  // None of the pointers is owned; all must outlive the render. data: the
  // site data, which the build extends as specified for templates. pages:
  // the Markdown pages of _pages/ to build (no drafts unless the build
  // takes them), which are not posts. started: the time the site is built
  // as of (SiteBuilder: now, or when the last scheduled post it builds is
  // due). memo: the pages of the last build (off: every page renders).
  SiteRender(const SiteConfig& config, JsonDocument* data, std::vector<PostFile>* posts,
             const std::vector<PostFile>* pages, PublicFolder* out, PostConversion* html,
             DiagnosticSink sink, std::time_t started, RenderMemo* memo);
  ~SiteRender();

  const SiteConfig& config() const { return config_; }
  const ThemeFeatures& features() const { return config_.features(); }
  JsonDocument& data() { return *data_; }
  const std::vector<PostFile>& posts() const { return *posts_; }
  // For the one step that completes the posts (their excerpts), before
  // anything else reads them.
  std::vector<PostFile>& mutable_posts() { return *posts_; }
  const std::vector<PostFile>& pages() const { return *pages_; }
  PublicFolder& out() { return *out_; }
  PostConversion& html() { return *html_; }
  TemplateEngine& engine() { return engine_; }
  const PostView& view() const { return view_; }
  // The images the build published, for the pages' markup.
  ResponsiveImages& images() { return images_; }

  // The page relative (under public/) that the engine expands from text
  // (its layout resolved) against view: true with it in *page, for the
  // caller to write; false when public/ holds those bytes already, and
  // the page counts as written (RenderMemo::Expand).
  bool ExpandPage(const std::string& relative, std::string_view text, const TemplateData& view,
                  std::string_view name, std::string* page) {
    return memo_->Expand(engine_, *out_, relative, text, view, name, page);
  }
  // As ExpandPage, for text whose layout is not resolved yet: all of
  // TemplateEngine::Render's passes. A layout that cannot be read gives
  // true and an empty page.
  bool RenderPage(const std::string& relative, std::string_view text, const TemplateData& view,
                  std::string_view name, std::string* page);

  void Report(const std::string& message) const;
  // Reports message and marks the build failed.
  void Fail(const std::string& message);
  // Marks the build failed for reasons already reported.
  void MarkFailed() { failed_ = true; }
  // True when a step or public/ failed.
  bool failed() const { return failed_ || out_->failed(); }

  // The theme's NAME.mtpl: its path into *path and its text into *text.
  // False with *error ("PATH: reason") when it cannot be read.
  bool ReadTemplate(std::string_view name, std::string* path, std::string* text,
                    std::string* error) const;

  // The site data as a page depth folders below public/ sees it, with
  // overlay's members in front; overlay gets rootPath and feedLinks (the
  // site's feeds, FeedBuilder::Links), which the caller may change after. A post's text in it
  // (members content, excerpt, toc) is verbatim.
  TemplateData PageView(JsonDocument* overlay, int depth) const;
  // A link to a file under public/ ("page/2/index.html") from a page depth
  // folders down: relative, or absolute with AbsoluteUrl.
  std::string PageLink(std::string_view path, int depth) const;
  // "." for depth 0, "..", "../..", ...
  static std::string RootPath(int depth);

  // The newest update_time among the posts (those at the indices in
  // which) that is not after the time the site is built as of, for a list
  // page's lastmod; "" for none.
  std::string NewestUpdate() const { return PostView::NewestUpdate(*posts_, started_); }
  std::string NewestUpdate(const std::vector<int>& which) const {
    return PostView::NewestUpdate(*posts_, which, started_);
  }

  // posts()[index] as a list page shows it (PostView::Record without its
  // content), made once per render: a post shows on its index page and on
  // the page of each of its tags and categories. Call once the posts are
  // final (after database.json's step, which fills in their excerpts).
  const JsonDocument& ListRecord(std::size_t index);
  // The list records of the posts at the indices in which, moved in
  // order onto the end of the array at path of *page for one page to
  // render, and taken back off it by ReturnListRecords (same which, same
  // path) once it has: a record is never copied per page. In between,
  // neither ListRecord nor another lending may ask for these posts.
  void LendListRecords(const std::vector<int>& which, JsonDocument* page, std::string_view path);
  void ReturnListRecords(const std::vector<int>& which, JsonDocument* page, std::string_view path);

  // The time the site is built as of, as post times are written.
  const std::string& started() const { return started_; }

  // The pages of _pages/ written, each with its file under public/, in
  // the order written; filled in by their step, for the alias pages.
  using WrittenPage = std::pair<const PostFile*, std::string>;
  std::vector<WrittenPage>& written_pages() { return written_pages_; }

  // The plain text of each post's article, for the search index; filled in
  // as the articles render when the theme has search.
  std::vector<std::string>& plain_texts() { return plain_texts_; }

  // The articles' plain text, heading ids and contents, kept between
  // builds (SiteBuilder's, set before the steps run).
  ArticleTextCache& article_texts() { return *article_texts_; }
  void set_article_texts(ArticleTextCache* texts) { article_texts_ = texts; }

  // database.json goes to disk on this writer while the pages render;
  // Finish waits for it.
  OutputWriter& index_writer();
  // Waits for what is still being written and reports what failed.
  // Returns !failed().
  bool Finish();

 private:
  const SiteConfig& config_;
  JsonDocument* data_;
  std::vector<PostFile>* posts_;
  const std::vector<PostFile>* pages_;
  PublicFolder* out_;
  PostConversion* html_;
  RenderMemo* memo_;
  DiagnosticSink sink_;
  TemplateEngine engine_;
  PostView view_;
  ResponsiveImages images_;
  std::string started_;  // when the build started, as post times are written
  bool failed_ = false;
  std::vector<WrittenPage> written_pages_;
  std::vector<std::string> plain_texts_;
  ArticleTextCache* article_texts_ = nullptr;
  std::vector<std::optional<JsonDocument>> list_records_;  // by ListRecord
  std::unique_ptr<OutputWriter> index_writer_;
};

}  // namespace tarn
