#include "render/site_render.h"

#include <ctime>
#include <utility>

#include "data/text_file.h"
#include "render/feed_builder.h"

namespace tarn {

SiteRender::SiteRender(const SiteConfig& config, JsonDocument* data, std::vector<PostFile>* posts,
                       const std::vector<PostFile>* pages, PublicFolder* out, PostConversion* html,
                       DiagnosticSink sink, std::time_t started, RenderMemo* memo)
    : config_(config),
      data_(data),
      posts_(posts),
      pages_(pages),
      out_(out),
      html_(html),
      memo_(memo),
      sink_(std::move(sink)),
      engine_(config.theme_dir(), config.workspace().root(), sink_),
      view_(config.url_prefix(), data->GetText("system.url"), data->GetText("system.author"),
            config.language()),
      started_(PostIndex::FormatPostTime(started)) {}

SiteRender::~SiteRender() {
  // A build that stopped early still waits for its post index, and says
  // what could not be written.
  if (index_writer_) out_->Flush(index_writer_.get());
}

void SiteRender::Report(const std::string& message) const {
  if (sink_) sink_(message);
}

void SiteRender::Fail(const std::string& message) {
  Report(message);
  failed_ = true;
}

bool SiteRender::ReadTemplate(std::string_view name, std::string* path, std::string* text,
                              std::string* error) const {
  *path = config_.ThemeFile(std::string(name) + ".mtpl");
  return ReadTextFile(*path, text, error);
}

std::string SiteRender::RootPath(int depth) {
  if (depth == 0) return ".";
  std::string path = "..";
  for (int i = 1; i < depth; ++i) path += "/..";
  return path;
}

TemplateData SiteRender::PageView(JsonDocument* overlay, int depth) const {
  if (!overlay->HasTree()) overlay->Create();
  overlay->SetText("rootPath", RootPath(depth));
  overlay->SetText("feedLinks", FeedBuilder::Links(features(), RootPath(depth)));
  TemplateData view(*data_, overlay, features().Any() ? RootPath(depth) : ".");
  // A post's own text (its Markdown, its HTML, the excerpt and contents
  // made from it) goes into a page as it is, never read as placeholders.
  view.SetVerbatimMembers({"content", "excerpt", "toc"});
  return view;
}

std::string SiteRender::PageLink(std::string_view path, int depth) const {
  std::string link = config_.url_prefix() == "." ? RootPath(depth) : config_.url_prefix();
  link += '/';
  link += path;
  return link;
}

const JsonDocument& SiteRender::ListRecord(std::size_t index) {
  list_records_.resize(posts_->size());
  std::optional<JsonDocument>& record = list_records_[index];
  if (!record) record = view_.Record((*posts_)[index], false);
  return *record;
}

void SiteRender::LendListRecords(const std::vector<int>& which, JsonDocument* page,
                                 std::string_view path) {
  for (int i : which) {
    const std::size_t index = static_cast<std::size_t>(i);
    ListRecord(index);
    JsonDocument& record = *list_records_[index];
    // A post listed twice on one page: the second is a record of its own.
    if (!record.HasTree() || !page->Append(path, std::move(record)))
      page->Append(path, view_.Record((*posts_)[index], false));
  }
}

void SiteRender::ReturnListRecords(const std::vector<int>& which, JsonDocument* page,
                                   std::string_view path) {
  std::vector<JsonDocument::Handle> lent;
  page->GetChildHandles(path, &lent);
  if (lent.size() < which.size()) return;
  // The page's array ends with the records lent, in the order of which.
  for (std::size_t k = which.size(); k-- > 0;) {
    JsonDocument& record = *list_records_[static_cast<std::size_t>(which[k])];
    if (!record.HasTree()) record.SetRootHandle(lent[lent.size() - which.size() + k]);
  }
}

OutputWriter& SiteRender::index_writer() {
  if (!index_writer_) index_writer_ = out_->NewWriter();
  return *index_writer_;
}

bool SiteRender::RenderPage(const std::string& relative, std::string_view text,
                            const TemplateData& view, std::string_view name, std::string* page) {
  const std::optional<std::string>& resolved = engine_.ResolvedFor(text, name);
  if (!resolved) {
    page->clear();
    return true;
  }
  return ExpandPage(relative, *resolved, view, name, page);
}

bool SiteRender::Finish() {
  if (index_writer_) out_->Flush(index_writer_.get());
  index_writer_.reset();
  return !failed();
}

}  // namespace tarn
