#include "render/site_builder.h"

#include <algorithm>
#include <ctime>

#include "content/clock.h"
#include "content/post_index.h"
#include "convert/markdown_converter.h"
#include "data/text_file.h"
#include "render/alias_pages.h"
#include "render/article_pages.h"
#include "render/disk_output_tree.h"
#include "render/extra_pages.h"
#include "render/feed_builder.h"
#include "render/list_pages.h"
#include "render/markdown_pages.h"
#include "render/post_conversion.h"
#include "render/post_index_file.h"
#include "render/public_folder.h"
#include "render/public_record.h"
#include "render/render_memo.h"
#include "render/responsive_images.h"
#include "render/search_index.h"
#include "render/site_render.h"
#include "render/sitemap_builder.h"
#include "render/static_files.h"
#include "render/taxonomy_pages.h"
#include "render/theme_assets.h"
#include "render/theme_strings.h"
#include "script/script_host.h"

namespace tarn {
namespace {

// The pages' RenderMemo, in the workspace's state folder.
constexpr char kMemoFile[] = "render-memo.bin";

constexpr char kHead[] =
    "<meta name=\"generator\" content=\"TarnBlogEditor\">\r\n"
    "<meta name=\"author\" content=\"MORVEN Tarn\" />";

// Members taken out of the site data for a while (the private settings
// while a build renders, the posts' text while the manager page renders)
// and put back, in their places, at the end of the scope.
class MembersSetAside {
 public:
  // Takes each of keys out of the object at each of paths that has it.
  MembersSetAside(JsonDocument* data, const std::vector<std::string>& paths,
                  const std::vector<std::string>& keys)
      : data_(data) {
    std::vector<std::string> present;
    for (const std::string& path : paths) {
      for (const std::string& key : keys) {
        data_->GetKeys(path, &present);
        auto at = std::find(present.begin(), present.end(), key);
        if (at == present.end()) continue;
        taken_.push_back({static_cast<int>(at - present.begin()), path, key,
                          data_->GetDocument(path + "." + key)});
        data_->RemoveMember(path, key);
      }
    }
  }
  ~MembersSetAside() {
    // Back in reverse, so each position is the one it had.
    for (auto it = taken_.rbegin(); it != taken_.rend(); ++it)
      data_->InsertMember(it->path, it->position, it->key, it->value);
  }

 private:
  struct Taken {
    int position;
    std::string path;
    std::string key;
    JsonDocument value;
  };
  JsonDocument* data_;
  std::vector<Taken> taken_;
};

// The private settings, out of the site data while a build renders.
class PrivateSettings : public MembersSetAside {
 public:
  explicit PrivateSettings(JsonDocument* data)
      : MembersSetAside(
            data, {"system"},
            {std::begin(SiteConfig::kPrivateSettings), std::end(SiteConfig::kPrivateSettings)}) {}
};

// The path of every post record of the site data: the list and the months.
std::vector<std::string> PostRecordPaths(const JsonDocument& data) {
  std::vector<std::string> paths;
  for (int i = 0, n = data.GetCount("posts"); i < n; ++i)
    paths.push_back("posts[" + std::to_string(i) + "]");
  for (int m = 0, months = data.GetCount("timeline"); m < months; ++m) {
    std::string month = "timeline[" + std::to_string(m) + "].posts";
    for (int i = 0, n = data.GetCount(month); i < n; ++i)
      paths.push_back(month + "[" + std::to_string(i) + "]");
  }
  return paths;
}

// Between the post index and the pages: what every template may read of
// the theme, and the language it speaks in.
bool AddThemeData(SiteRender& site) {
  site.data().SetText("assetsPath", site.config().url_prefix() + "/assets");
  site.data().SetObject("", "theme", site.config().theme());
  ThemeStrings::AddTo(site.config(), &site.data(),
                      [&site](const std::string& message) { site.Report(message); });
  return true;
}

bool CopyStaticFiles(SiteRender& site) {
  auto published = [&site](const std::string& relative) {
    return site.images().Published(relative);
  };
  if (!StaticFiles::Copy(
          site.config().workspace(), &site.out(),
          [&site](const std::string& message) { site.Report(message); }, published))
    site.MarkFailed();
  // Last, so that an image an article names was reported with its post.
  site.images().ReportUnnamed(site);
  return true;
}

// The build, in order. A step whose page the site cannot do without (the
// index, the timeline, the feed) stops the build when it fails; the others
// report and mark it failed.
struct Step {
  bool (*run)(SiteRender& site);
  bool required;
};
constexpr Step kSteps[] = {
    {ResponsiveImages::Write, false},  // static/ photos' copies, before any page
    {PostIndexFile::Write, false},     // database.json
    {AddThemeData, false},             // assetsPath, theme, site, i18n
    {ThemeAssets::Copy, false},        // assets/
    {ListPages::WriteIndex, true},     // index.html, page/N/index.html
    {ListPages::WriteTimeline, true},  // timeline.html
    {FeedBuilder::Write, true},        // atom.xml
    {ArticlePages::Write, false},      // articles/SLUG.html
    {ExtraPages::Write, false},        // the theme's pages
    {TaxonomyPages::Write, false},     // tags/, categories/
    {MarkdownPages::Write, false},     // _pages/: NAME/index.html or a permalink
    {SearchIndex::Write, false},       // search.json, search.js
    {SitemapBuilder::Write, false},    // sitemap.xml
    {AliasPages::Write, false},        // redirects from old addresses
    {CopyStaticFiles, false},          // static/
};

// The time a site of these posts and pages is built as of: now, or, for
// a build that takes scheduled posts, when the last of them is due, so
// that it is the site as it will be then.
std::time_t BuiltAsOf(const PostFilter& filter, const std::vector<PostFile>& posts,
                      const std::vector<PostFile>& pages) {
  std::time_t as_of = filter.now;
  for (const auto* list : {&posts, &pages}) {
    for (const PostFile& post : *list)
      if (post.ScheduledAfter(as_of)) as_of = *post.publish_time;
  }
  return as_of;
}

}  // namespace

SiteBuilder::SiteBuilder(std::string root, ScriptHost* host, DiagnosticSink sink)
    : host_(host), sink_(std::move(sink)), config_(std::move(root)) {
  data_.Create();
}

SiteBuilder::~SiteBuilder() = default;

void SiteBuilder::Report(const std::string& message) const {
  if (sink_) sink_(message);
}

bool SiteBuilder::LoadConfig() {
  bool ok = config_.Load(sink_);
  data_ = config_.settings();
  data_.SetText("system.articleCount",
                std::to_string(PostIndex::Count(config_.workspace().posts_dir())));
  data_.SetText("system.head", kHead);
  return ok;
}

bool SiteBuilder::Build() {
  // The desktop program keeps serving its window while a page function runs,
  // so a second Build can arrive in the middle of the first.
  if (in_build_) {
    Report("a build is already running; try again when it has finished");
    return false;
  }
  // A site rendered without its settings would replace the published one
  // by a broken copy at the next push.
  if (!config_.loaded()) {
    Report(config_.workspace().base_config() +
           ": the site's settings did not load; nothing was written");
    return false;
  }
  // Through a linked public/ every page would be written, and every stale
  // one removed, wherever the link leads.
  if (!output_tree_ &&
      DiskOutputTree(config_.workspace().public_dir()).KindOf("") == OutputTree::Kind::kLink) {
    Report(config_.workspace().public_dir() +
           ": is a symbolic link; the build writes nothing through it (replace it by a folder)");
    return false;
  }
  in_build_ = true;
  struct Done {
    bool* in_build;
    ~Done() { *in_build = false; }
  } done{&in_build_};

  int skipped = 0;
  std::vector<PostFile> posts = PostIndex::Scan(config_.workspace().posts_dir(), sink_, &skipped);
  std::size_t found = posts.size();
  int pages_skipped = 0;
  std::vector<PostFile> pages =
      PostIndex::Scan(config_.workspace().pages_dir(), sink_, &pages_skipped);
  const PostFilter filter{include_drafts_, include_future_, Clock::Now()};
  PostIndex::Arrange(&pages, filter, false);
  PrivateSettings private_settings(&data_);
  if (data_.GetText("system.theme").empty())
    Report(config_.workspace().base_config() + ": system.theme is not set");
  config_.LoadTheme(sink_);
  PostIndex::Arrange(&posts, filter, config_.newest_first());
  if (posts.size() != found) data_.SetText("system.articleCount", std::to_string(posts.size()));
  const std::time_t as_of = BuiltAsOf(filter, posts, pages);
  bool built = RunSteps(&posts, pages, as_of, as_of != filter.now);
  ThemeStrings::RemoveFrom(&data_);
  // A post or page left out is one missing from the published site.
  return built && skipped == 0 && pages_skipped == 0;
}

bool SiteBuilder::RunSteps(std::vector<PostFile>* posts, const std::vector<PostFile>& pages,
                           std::time_t started, bool scheduled) {
  const Workspace& workspace = config_.workspace();
  DiskOutputTree disk(workspace.public_dir());
  OutputTree* tree = output_tree_ ? output_tree_ : &disk;
  std::string ignored;
  tree->MakeFolders("", &ignored);
  PublicFolder out(tree, sink_);
  // The record is of public/ on disk; a test's own tree keeps none.
  const bool recorded = output_tree_ == nullptr;
  PublicRecord record = recorded ? PublicRecord::Load(workspace) : PublicRecord();
  out.set_earlier_aliases(record.aliases);
  out.set_earlier_pages(record.pages);
  auto draft = [](const PostFile& post) { return post.draft; };
  const bool drafts = include_drafts_ && (std::any_of(posts->begin(), posts->end(), draft) ||
                                          std::any_of(pages.begin(), pages.end(), draft));
  // Before the first page, so that a build stopped half-way counts too.
  if (((drafts && !record.drafts) || (scheduled && !record.future)) && recorded) {
    record.drafts = record.drafts || drafts;
    record.future = record.future || scheduled;
    SaveRecord(record);
  }
  bool built = RunStepsInto(&out, posts, pages, started);
  if (out.aliases()) record.aliases = *out.aliases();
  if (out.pages()) record.pages = *out.pages();
  // Only a good build without drafts (or scheduled posts) is known to have
  // removed theirs.
  record.drafts = drafts || (record.drafts && !built);
  record.future = scheduled || (record.future && !built);
  if (recorded) SaveRecord(record);
  return built;
}

bool SiteBuilder::RunStepsInto(PublicFolder* out, std::vector<PostFile>* posts,
                               const std::vector<PostFile>& pages, std::time_t started) {
  // The posts' Markdown is converted in the background while the index,
  // timeline and feed render; the posts' pages come after them.
  PostConversion html(host_, converter_, posts);
  const ThemeFeatures& features = config_.features();
  html.RenderWhileConverting(features.code_at_build, features.maths_at_build, sink_);
  html.Start();
  RenderMemo memo(render_memo_ && !output_tree_ ? config_.workspace().StatePath(kMemoFile) : "");
  memo.Load(sink_);
  SiteRender site(config_, &data_, posts, &pages, out, &html, sink_, started, &memo);
  ArticleTextCache texts(keep_article_texts_ ? ArticleTextCache::PathIn(root()) : "", features,
                         converter_ ? converter_->scripts_digest() : "", sink_);
  site.set_article_texts(&texts);
  bool built = true;
  for (const Step& step : kSteps) {
    if (!step.run(site) && step.required) {
      built = false;
      break;
    }
  }
  // What the articles made holds whether the build went on or not.
  texts.Save();
  if (!built || !site.Finish()) return false;
  memo.Save(*out, sink_);
  return true;
}

void SiteBuilder::SaveRecord(const PublicRecord& record) const {
  std::string error;
  if (!record.Save(config_.workspace(), &error)) Report(error);
}

std::string SiteBuilder::ScriptRender(const std::string& template_path, PostText text_of_posts) {
  std::string text;
  std::string error;
  if (!ReadTextFile(template_path, &text, &error)) {
    Report(error);
    return "";
  }
  if (!host_) {
    Report(template_path + ": no page is loaded to run TplRender");
    return "";
  }
  std::string data;
  if (text_of_posts == PostText::kWithout) {
    MembersSetAside contents(&data_, PostRecordPaths(data_), {"content"});
    data = data_.ToText();
  } else {
    data = data_.ToText();
  }
  std::string result;
  if (!host_->CallFunction("TplRender", {text, data}, &result, &error)) {
    Report(host_->Origin() + ": TplRender failed: " + error);
    return "";
  }
  return result;
}

}  // namespace tarn
