#include "render/site_builder.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>

#include "content/taxonomy.h"
#include "convert/markdown_converter.h"
#include "data/ini_file.h"
#include "data/regex_object.h"
#include "data/text_file.h"
#include "data/utf8.h"
#include "render/alias_pages.h"
#include "render/feed_builder.h"
#include "render/heading_anchors.h"
#include "render/output_file.h"
#include "render/output_writer.h"
#include "render/search_index.h"
#include "render/static_files.h"
#include "script/script_host.h"
#include "template/template_engine.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr char kHead[] =
    "<meta name=\"generator\" content=\"TarnBlogEditor\">\r\n"
    "<meta name=\"author\" content=\"MORVEN Tarn\" />";

const char* ParseErrorName(int code) {
  switch (code) {
    case JsonDocument::kEmptyInput:
      return "empty input";
    case JsonDocument::kOutOfMemory:
      return "out of memory";
    case JsonDocument::kMisplacedStructure:
      return "misplaced structure";
    case JsonDocument::kUnclosed:
      return "unclosed object or array";
    case JsonDocument::kBadValue:
      return "bad value";
    default:
      return "parse error";
  }
}

// Parses a JSON configuration file into *doc. Reports "PATH:LINE:COLUMN:
// ..." and leaves *doc an empty object on failure.
bool ParseConfig(const std::string& path, std::string text, JsonDocument* doc,
                 const DiagnosticSink& sink) {
  // Editors on other systems like to start UTF-8 files with a byte-order mark.
  StripUtf8Bom(&text);
  JsonDocument::ParseResult result;
  if (!doc->Parse(text, {}, &result)) {
    int line = 1;
    int column = 1;
    JsonDocument::LineAndColumn(text, result.position, &line, &column);
    if (sink) {
      sink(path + ":" + std::to_string(line) + ":" + std::to_string(column) + ": JSON error " +
           std::to_string(result.code) + " (" + ParseErrorName(result.code) + ")");
    }
    doc->Create();
    return false;
  }
  if (doc->GetType("") != JsonDocument::kObject) {
    if (sink) sink(path + ": not a JSON object");
    doc->Create();
    return false;
  }
  return true;
}

// A theme-relative or public-relative name from _conf.json, with "\" taken
// as the folder separator it is on the systems themes are written on; ""
// when it would leave its folder (absolute, or a ".." step).
std::string ContainedName(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  if (!name.empty() && name[0] == '/') return "";
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return "";
    start = end + 1;
  }
  return name;
}

// Settings under "system" that may hold credentials (a token in a push
// URL): the program's own pages get them, the generated site never does.
constexpr const char* kPrivateSettings[] = {"deployUrl", "sourceUrl"};

}  // namespace

// The private settings, taken out of the site data while a build renders
// and put back, in their places, when it ends.
class SiteBuilder::PrivateSettings {
 public:
  explicit PrivateSettings(JsonDocument* data) : data_(data) {
    for (const char* key : kPrivateSettings) {
      std::vector<std::string> keys;
      data_->GetKeys("system", &keys);
      auto at = std::find(keys.begin(), keys.end(), key);
      if (at == keys.end()) continue;
      std::string path = std::string("system.") + key;
      taken_.push_back({static_cast<int>(at - keys.begin()), key, data_->GetDocument(path)});
      data_->RemoveMember("system", key);
    }
  }
  ~PrivateSettings() {
    // Back in reverse, so each position is the one it had.
    for (auto it = taken_.rbegin(); it != taken_.rend(); ++it)
      data_->InsertMember("system", it->position, it->key, it->value);
  }

 private:
  struct Taken {
    int position;
    std::string key;
    JsonDocument value;
  };
  JsonDocument* data_;
  std::vector<Taken> taken_;
};

SiteBuilder::SiteBuilder(std::string root, ScriptHost* host, DiagnosticSink sink)
    : root_(std::move(root)), host_(host), sink_(std::move(sink)) {
  data_.Create();
}

SiteBuilder::~SiteBuilder() = default;

void SiteBuilder::Report(const std::string& message) const {
  if (sink_) sink_(message);
}

std::string SiteBuilder::ThemeDir() const {
  return root_ + "/themes/" + data_.GetText("system.theme");
}

bool SiteBuilder::LoadConfig() {
  bool ok = true;
  data_.Create();
  std::string path = Workspace::Path(root_, Workspace::kBaseConfig);
  std::string text;
  std::string error;
  if (!ReadTextFile(path, &text, &error)) {
    Report(error);
    ok = false;
  } else {
    ok = ParseConfig(path, std::move(text), &data_, sink_);
  }
  config_loaded_ = ok;
  std::string ini_path = Workspace::Path(root_, Workspace::kConfIni);
  IniFile ini(ini_path);
  std::error_code ec;
  if (!ini.loaded() && fs::exists(ini_path, ec)) {
    // A missing file means the defaults; one that is there but cannot be
    // read (a FIFO, no permission) is worth a word.
    std::string ignored;
    ReadTextFile(ini_path, &ignored, &error);
    Report(error + " (its defaults are used)");
  }
  url_prefix_ =
      ini.GetString("base", "AbsoluteUrl", "0") == "1" ? data_.GetText("system.url") : ".";
  data_.SetText("system.articleCount", std::to_string(PostIndex::Count(PostsDir())));
  data_.SetText("system.head", kHead);
  return ok;
}

void SiteBuilder::SetVariable(const std::string& name, const std::string& value) {
  if (!data_.HasTree()) data_.Create();
  data_.SetText(name, value);
}

const std::vector<PostFile>& SiteBuilder::Posts() {
  if (!in_build_) posts_ = ScanPosts();
  return posts_;
}

std::vector<PostFile> SiteBuilder::ScanPosts(int* skipped) {
  std::vector<PostFile> posts = PostIndex::Scan(PostsDir(), sink_, skipped);
  std::size_t found = posts.size();
  // The theme's _conf.json is read quietly here: the build reports its
  // faults when it loads it for the templates.
  JsonDocument conf;
  std::string text;
  if (ReadTextFile(ThemeDir() + "/_conf.json", &text)) ParseConfig("", std::move(text), &conf, {});
  PostIndex::Arrange(&posts, include_drafts_, conf.GetText("order") == "newest");
  if (posts.size() != found) data_.SetText("system.articleCount", std::to_string(posts.size()));
  return posts;
}

void SiteBuilder::ConvertExcerpts() {
  for (std::size_t i = 0; i < posts_.size(); ++i) {
    PostFile& post = posts_[i];
    if (!post.has_more || !post.excerpt.empty()) continue;
    std::string storage;
    std::string_view html;
    std::string error;
    // A post that does not convert is reported with its article page.
    if (PostHtml(i, converting_, &storage, &html, &error))
      post.excerpt = PostIndex::ExcerptOf(html);
  }
}

bool SiteBuilder::PostHtml(std::size_t index, bool from_converter, std::string* storage,
                           std::string_view* html, std::string* error) {
  if (from_converter) {
    MarkdownConverter::Result result = converter_->Get(index);
    *html = result.html;
    *error = result.error;
    return result.ok;
  }
  bool ok = CallMarkdown(std::string(posts_[index].Markdown()), storage, error);
  *html = *storage;
  return ok;
}

void SiteBuilder::RebuildIndex() {
  // Within one Build only this object touches posts and timeline, so after
  // the first index only its time moves on.
  if (in_build_ && index_ready_) {
    data_.SetText("create_time", PostIndex::FormatCreateTime(std::time(nullptr)));
    return;
  }
  Posts();
  ConvertExcerpts();
  PostIndex::Fill(&data_, posts_, url_prefix_, std::time(nullptr));
  if (in_build_) index_ready_ = true;
}

std::string SiteBuilder::BuildPostIndex() {
  RebuildIndex();
  // Every post's text is in the index twice (posts and timeline), a little
  // longer once escaped. Reserving that up front spares the doubling growth
  // of a text this large, which at ten thousand posts held a quarter of a
  // gigabyte for a 140 MB index.
  std::size_t estimate = 64 * 1024;
  for (const PostFile& post : posts_) estimate += 2 * (post.content.size() * 5 / 4 + 512);
  return data_.ToText("", false, true, static_cast<int>(std::min<std::size_t>(estimate, INT_MAX)));
}

JsonDocument SiteBuilder::GetSiteData() {
  RebuildIndex();
  return data_;
}

TemplateEngine& SiteBuilder::Engine() {
  if (!engine_ || !in_build_) engine_ = std::make_unique<TemplateEngine>(ThemeDir(), root_, sink_);
  return *engine_;
}

std::string SiteBuilder::RenderTemplate(const std::string& template_text) {
  return Engine().Render(template_text, data_);
}

std::string SiteBuilder::ExpandLoops(const std::string& text, const JsonDocument& data) const {
  TemplateEngine engine(ThemeDir(), root_, sink_);
  return engine.ExpandLoops(text, data);
}

int SiteBuilder::ReadPostHeader(const std::string& path, std::vector<std::string>* parts) const {
  parts->clear();
  std::string text;
  if (!ReadTextFile(path, &text)) return 0;
  RegexObject header;
  header.Execute("----------\\r\\n([\\s\\S]*?)\\r\\n----------", text);
  if (header.GetMatchCount() == 0) return 0;
  std::string_view block = header.SubMatchView(1, 1);
  size_t start = 0;
  while (true) {
    size_t bar = block.find('|', start);
    parts->emplace_back(block.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return static_cast<int>(parts->size());
}

std::string SiteBuilder::ScriptRender(const std::string& template_path) {
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
  std::string result;
  if (!host_->CallFunction("TplRender", {text, data_.ToText()}, &result, &error)) {
    Report(host_->Origin() + ": TplRender failed: " + error);
    return "";
  }
  return result;
}

bool SiteBuilder::CallMarkdown(const std::string& markdown, std::string* html, std::string* error) {
  if (!host_) {
    *error = "no page is loaded to run markToHtml";
    return false;
  }
  return host_->CallFunction("markToHtml", {markdown}, html, error);
}

std::string SiteBuilder::ConvertMarkdown(const std::string& markdown) {
  std::string html;
  std::string error;
  if (!CallMarkdown(markdown, &html, &error)) {
    Report((host_ ? host_->Origin() + ": " : std::string()) + "markToHtml failed: " + error);
    return "";
  }
  return html;
}

std::string SiteBuilder::RenderIndex() { return RenderPostList("index", "an index page", true); }

std::string SiteBuilder::RenderTimeline() {
  return RenderPostList("timeline", "a timeline page", false);
}

std::string SiteBuilder::RenderPostList(const std::string& name, const std::string& what,
                                        bool paginated) {
  std::string path = ThemeDir() + "/" + name + ".mtpl";
  std::string text;
  std::string error;
  if (!ReadTextFile(path, &text, &error)) {
    Report(error + " (the theme needs " + what + ")");
    return "";
  }
  RebuildIndex();
  std::string html;
  if (paginated && nav_.paginate > 0) {
    int total = std::max(1, (data_.GetCount("posts") + nav_.paginate - 1) / nav_.paginate);
    html = RenderIndexPage(text, path, 1, total);
  } else {
    JsonDocument overlay;
    html = Engine().Render(text, PageView(&overlay, 0), path);
    if (in_build_) sitemap_.Add(name + ".html", NewestUpdate());
  }
  if (html.empty()) Report(path + ": renders to empty text");
  return html;
}

std::string SiteBuilder::BuildFeed() { return FeedBuilder::BuildFeed(data_, std::time(nullptr)); }

JsonDocument SiteBuilder::LoadThemeConf() {
  JsonDocument conf;
  conf.Create();
  std::string path = ThemeDir() + "/_conf.json";
  std::string text;
  if (ReadTextFile(path, &text)) ParseConfig(path, std::move(text), &conf, sink_);
  return conf;
}

void SiteBuilder::CopyAssets() {
  fs::path from = ThemeDir() + "/assets";
  std::error_code ec;
  if (!fs::is_directory(from, ec)) return;  // a theme without assets is fine
  std::string to = PublicDir() + "/assets";
  if (!OutputAllowed(to) || !CopyableTree(from.string(), true) || !CopyableTree(to, false)) {
    Report(from.string() + ": the theme's assets are not copied");
    return;
  }
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  if (ec) {
    Report(from.string() + ": cannot copy to " + to + ": " + ec.message());
    build_failed_ = true;
  }
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
    Generated(PublicDir() + "/assets/" + it->path().lexically_relative(from).string());
}

void SiteBuilder::Generated(const std::string& path) {
  std::string prefix = PublicDir() + "/";
  if (path.compare(0, prefix.size(), prefix) == 0) generated_.insert(path.substr(prefix.size()));
}

// The copy reads every file of the source, links followed, and writes
// through whatever it finds in the destination: only folders and regular
// files may be there (a FIFO would be waited on, a device read without
// end), and in the destination no links.
bool SiteBuilder::CopyableTree(const std::string& root, bool source) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!source && it->is_symlink(type_ec)) return OutputAllowed(it->path().string());
    fs::file_status status = it->status(type_ec);
    if (fs::is_directory(status) || fs::is_regular_file(status)) continue;
    Report(it->path().string() + (fs::exists(status)
                                      ? ": is not a regular file (a FIFO, socket or device)"
                                      : ": is a link to nothing"));
    build_failed_ = true;
    return false;
  }
  return true;
}

bool SiteBuilder::OutputAllowed(const std::string& path) {
  std::string error;
  if (OutputPathIsContained(PublicDir(), path, &error)) return true;
  Report(error);
  build_failed_ = true;
  return false;
}

bool SiteBuilder::MakeFoldersFor(const std::string& path) {
  if (!OutputAllowed(path)) return false;
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  return true;
}

bool SiteBuilder::Write(const std::string& path, const std::string& text) {
  Generated(path);
  if (!OutputAllowed(path)) return false;
  std::string error;
  if (WriteOutputFile(path, text, &error)) return true;
  Report(error);
  build_failed_ = true;
  return false;
}

int SiteBuilder::RenderPosts() {
  std::string path = ThemeDir() + "/post.mtpl";
  std::string text;
  std::string error;
  if (!ReadTextFile(path, &text, &error)) {
    Report(error + " (no article pages are written)");
    return -1;
  }
  const std::vector<PostFile>& posts = Posts();
  std::string folder = PublicDir() + "/articles";
  if (posts.empty()) {
    RemoveStaleArticles(folder, {});
    return 0;
  }
  std::string page;
  if (!PrepareArticles(text, path, folder, &page)) return 0;
  // Converting started with the build; posts are rendered as their HTML
  // comes in.
  if (converter_ && !converting_) StartConverting();

  // Pages go to disk on the writer's thread while the next ones render.
  OutputWriter writer;
  int written = 0;
  std::map<std::string, const PostFile*> by_slug;
  std::vector<std::string> keep;
  for (std::size_t index = 0; index < posts.size(); ++index) {
    const PostFile& post = posts[index];
    auto [it, fresh] = by_slug.emplace(post.slug, &post);
    if (!fresh) {
      Report(post.path + ": has the same article file as " + it->second->path + "; articles/" +
             post.slug + ".html holds the later one");
      it->second = &post;
    }
    keep.push_back(post.slug + ".html");
    if (RenderArticle(post, index, page, path, folder, &writer)) ++written;
  }
  if (converter_) {
    converter_->Finish();
    converting_ = false;
  }
  written -= ReportWriteErrors(&writer);
  RemoveStaleArticles(folder, keep);
  return written;
}

bool SiteBuilder::PrepareArticles(const std::string& text, const std::string& path,
                                  const std::string& folder, std::string* page) {
  if (!host_ || !host_->HasFunction("markToHtml")) {
    Report(host_
               ? host_->Origin() + " defines no markToHtml function: article pages are not written"
               : std::string("no page is loaded to run markToHtml: article pages are not written"));
    build_failed_ = true;
    return false;
  }
  bool ok = true;
  *page = Engine().ResolveInheritance(text, path, &ok);
  if (!ok) {
    Report(path + ": renders to empty text (no article pages are written)");
    return false;
  }
  if (!OutputAllowed(folder)) {
    Report(folder + ": no article pages are written");
    return false;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    Report(folder + ": cannot create the articles folder (no article pages are written)");
    build_failed_ = true;
    return false;
  }
  return true;
}

bool SiteBuilder::RenderArticle(const PostFile& post, std::size_t index, const std::string& page,
                                const std::string& path, const std::string& folder,
                                OutputWriter* writer) {
  data_.SetText("post.title", post.title);
  data_.SetText("post.url", PostIndex::ArticleLink(url_prefix_, post.slug));
  data_.SetText("post.absolute_url",
                PostIndex::ArticleLink(data_.GetText("system.url"), post.slug));
  // The converter's HTML is used where it lies: a large post's page is
  // already held by the converter, the site data and the writer.
  std::string html;
  std::string_view converted;
  std::string error;
  if (!PostHtml(index, converter_ != nullptr, &html, &converted, &error)) {
    Report(post.path + ": markToHtml failed: " + error + " (its article page is not written)");
    build_failed_ = true;
    return false;
  }
  if (nav_.search) {
    plain_texts_.resize(posts_.size());
    plain_texts_[index] = SearchIndex::PlainText(converted, SearchIndex::kTextLength);
  }
  std::string toc;
  std::string anchored;
  if (nav_.Any()) {
    anchored = HeadingAnchors::Add(converted, &toc);
    converted = anchored;
  }
  SetPostVariables(post, converted);
  SetPostTerms(post);
  if (nav_.Any()) data_.SetText("post.toc", toc);
  JsonDocument overlay;
  html = Engine().Expand(page, PageView(&overlay, 1), path);
  if (html.empty()) {
    Report(path + ": renders to empty text for " + post.path);
    return false;
  }
  std::string article = folder + "/" + post.slug + ".html";
  Generated(article);
  if (!OutputAllowed(article)) return false;
  writer->Write(article, std::move(html));
  if (in_build_) sitemap_.Add("articles/" + post.slug + ".html", post.update_time);
  return true;
}

void SiteBuilder::SetPostVariables(const PostFile& post, std::string_view html) {
  data_.SetText("post.content", html);
  data_.SetText("post.post_time", post.post_time);
  data_.SetText("post.update_time", post.update_time);
  // The front matter's members, for this post only.
  JsonDocument record = JsonDocument::NewObject();
  PostIndex::AddFrontMembers(post, &record);
  for (const char* key : {"tags", "categories", "description", "excerpt", "front"}) {
    if (record.Exists(key)) {
      data_.SetObject("post", key, record.GetDocument(key));
    } else {
      data_.RemoveMember("post", key);
    }
  }
}

int SiteBuilder::ReportWriteErrors(OutputWriter* writer) {
  std::vector<std::string> errors = writer->Wait();
  for (const std::string& error : errors) Report(error);
  if (!errors.empty()) build_failed_ = true;
  return static_cast<int>(errors.size());
}

void SiteBuilder::StartConverting() {
  std::vector<std::string_view> texts;
  texts.reserve(posts_.size());
  for (const PostFile& post : posts_) texts.push_back(post.Markdown());
  converter_->Start(std::move(texts));
  converting_ = true;
}

// Article pages whose post is gone. Only *.html files of the articles folder
// are candidates; anything else a blogger put there stays.
void SiteBuilder::RemoveStaleArticles(const std::string& folder,
                                      const std::vector<std::string>& keep) {
  std::set<std::string> wanted(keep.begin(), keep.end());
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return;
  std::vector<fs::path> stale;
  for (const auto& entry : it) {
    std::string name = entry.path().filename().string();
    std::error_code type_ec;
    if (name.size() < 5 || name.compare(name.size() - 5, 5, ".html") != 0) continue;
    // A link is the blogger's, never a page of ours: it stays, and so does
    // whatever it points at.
    if (entry.is_symlink(type_ec) || !entry.is_regular_file(type_ec) || wanted.count(name))
      continue;
    stale.push_back(entry.path());
  }
  for (const fs::path& path : stale) {
    std::error_code remove_ec;
    if (!fs::remove(path, remove_ec) && remove_ec)
      Report(path.string() + ": cannot remove the page of a deleted post: " + remove_ec.message());
  }
}

int SiteBuilder::RenderPages() {
  JsonDocument conf = LoadThemeConf();
  data_.SetObject("", "theme", conf);
  std::string conf_path = ThemeDir() + "/_conf.json";
  int n = data_.GetCount("theme.pages");
  for (int i = 0; i < n; ++i) {
    std::string entry = "pages[" + std::to_string(i) + "]";
    std::string tpl_text = conf.GetText(entry + ".tpl");
    std::string target_text = conf.GetText(entry + ".target");
    std::string tpl = ContainedName(tpl_text);
    std::string target = ContainedName(target_text);
    if (tpl.empty() || target.empty()) {
      const std::string& bad = tpl.empty() ? tpl_text : target_text;
      Report(conf_path + ": " + entry + " (tpl \"" + tpl_text + "\", target \"" + target_text +
             "\"): " + (tpl.empty() ? "tpl" : "target") +
             (bad.empty() ? " is empty"
                          : " must stay inside its folder (no absolute path, no \"..\")") +
             "; page skipped");
      continue;
    }
    std::string template_path = ThemeDir() + "/" + tpl + ".mtpl";
    std::string output = PublicDir() + "/" + target + ".html";
    std::string text;
    std::string error;
    if (!ReadTextFile(template_path, &text, &error)) {
      Report(error + " (" + entry + " of " + conf_path + "; page skipped)");
      continue;
    }
    JsonDocument overlay;
    int depth = static_cast<int>(std::count(target.begin(), target.end(), '/'));
    std::string html = Engine().Render(text, PageView(&overlay, depth), template_path);
    if (html.empty()) {
      Report(template_path + ": renders to empty text; page skipped");
      continue;
    }
    if (!OutputAllowed(output)) continue;
    std::error_code ec;
    fs::create_directories(fs::path(output).parent_path(), ec);
    if (Write(output, html) && in_build_) sitemap_.Add(target + ".html", NewestUpdate());
  }
  return 1;
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
  if (!config_loaded_) {
    Report(Workspace::Path(root_, Workspace::kBaseConfig) +
           ": the site's settings did not load; nothing was written");
    return false;
  }
  in_build_ = true;
  index_ready_ = false;
  build_failed_ = false;
  generated_.clear();
  int skipped = 0;
  posts_ = ScanPosts(&skipped);
  // A post left out is a post missing from the published site.
  if (skipped > 0) build_failed_ = true;
  engine_.reset();
  // The posts' Markdown is converted in the background while the index,
  // timeline and feed are rendered here; the posts' pages come last.
  if (converter_ && !posts_.empty() && host_ && host_->HasFunction("markToHtml")) StartConverting();
  struct Finish {
    SiteBuilder* self;
    ~Finish() {
      // A build that stopped before the posts' pages waits for the
      // conversions in hand, so that posts_ outlives them.
      if (self->converting_) self->converter_->Finish();
      self->converting_ = false;
      self->in_build_ = false;
      self->index_ready_ = false;
      self->posts_.clear();
      self->engine_.reset();
      self->nav_ = Navigation();
      self->sitemap_ = SitemapBuilder();
      self->plain_texts_.clear();
    }
  } finish{this};
  PrivateSettings private_settings(&data_);

  if (data_.GetText("system.theme").empty())
    Report(Workspace::Path(root_, Workspace::kBaseConfig) + ": system.theme is not set");
  std::string out = PublicDir();
  std::error_code ec;
  fs::create_directories(out, ec);

  // The post index holds every post's text twice and is by far the largest
  // file of the site: it is written on a thread of its own while the pages
  // render, and waited for before the build ends, however it ends.
  OutputWriter index_writer;
  struct ReportWhenDone {
    SiteBuilder* self;
    OutputWriter* writer;
    ~ReportWhenDone() { self->ReportWriteErrors(writer); }
  } report_index{this, &index_writer};
  Generated(out + "/database.json");
  if (OutputAllowed(out + "/database.json")) {
    index_writer.Write(out + "/database.json", BuildPostIndex());
  } else {
    RebuildIndex();
  }
  SetVariable("assetsPath", url_prefix_ + "/assets");
  data_.SetObject("", "theme", LoadThemeConf());
  nav_ = ReadNavigation();
  CopyAssets();

  std::string html = RenderIndex();
  if (html.empty()) return false;
  Write(out + "/index.html", html);
  RenderIndexPages();
  html = RenderTimeline();
  if (html.empty()) return false;
  Write(out + "/timeline.html", html);
  html = BuildFeed();
  if (html.empty()) {
    Report(out + "/atom.xml: the feed renders to empty text");
    return false;
  }
  Write(out + "/atom.xml", html);

  RenderPosts();
  RenderPages();
  if (nav_.Any()) {
    RenderTaxonomy("tags", "tags", "tag", "tags");
    RenderTaxonomy("categories", "categories", "category", "categories");
  }
  WriteSearchIndex();
  WriteSitemap();
  AliasPages::Write(out, posts_, data_.GetText("system.url"), &generated_, sink_);
  if (!StaticFiles::Copy(root_, out, generated_, sink_)) build_failed_ = true;
  ReportWriteErrors(&index_writer);
  return !build_failed_;
}

}  // namespace tarn

namespace tarn {
namespace {

std::string RootPath(int depth) {
  if (depth == 0) return ".";
  std::string path = "..";
  for (int i = 1; i < depth; ++i) path += "/..";
  return path;
}

std::string IndexPagePath(int page) {
  return page == 1 ? "index.html" : "page/" + std::to_string(page) + "/index.html";
}

bool IsTrueSetting(const JsonDocument& doc, const std::string& path) {
  return doc.GetType(path) == JsonDocument::kBool ? doc.GetBool(path) : doc.GetText(path) == "true";
}

// The texts of a record's name list ("tags"): an array of texts, or one text.
std::vector<std::string> NamesAt(const JsonDocument& data, const std::string& path) {
  std::vector<std::string> names;
  int type = data.GetType(path);
  if (type == JsonDocument::kString) names.push_back(data.GetText(path));
  if (type != JsonDocument::kArray) return names;
  for (int i = 0, n = data.GetCount(path); i < n; ++i)
    names.push_back(data.GetText(path + "[" + std::to_string(i) + "]"));
  return names;
}

}  // namespace

SiteBuilder::Navigation SiteBuilder::ReadNavigation() const {
  Navigation nav;
  int type = data_.GetType("theme.paginate");
  if (type == JsonDocument::kInteger || type == JsonDocument::kDouble ||
      type == JsonDocument::kString) {
    nav.paginate = std::max(0, data_.GetInt("theme.paginate"));
    if (nav.paginate == 0 && data_.GetText("theme.paginate") != "0")
      Report(ThemeDir() + "/_conf.json: paginate must be a whole number of at least 1");
  }
  nav.search = IsTrueSetting(data_, "theme.search");
  nav.sitemap = IsTrueSetting(data_, "theme.sitemap");
  std::error_code ec;
  for (const char* name : {"tag", "tags", "category", "categories"})
    nav.taxonomies = nav.taxonomies || fs::exists(ThemeDir() + "/" + name + ".mtpl", ec);
  return nav;
}

TemplateData SiteBuilder::PageView(JsonDocument* overlay, int depth) const {
  if (!overlay->HasTree()) overlay->Create();
  overlay->SetText("rootPath", RootPath(depth));
  return TemplateData(data_, overlay, nav_.Any() ? RootPath(depth) : ".");
}

std::string SiteBuilder::PageLink(const std::string& path, int depth) const {
  return (url_prefix_ == "." ? RootPath(depth) : url_prefix_) + "/" + path;
}

JsonDocument SiteBuilder::ListRecord(int index) {
  std::string record = "posts[" + std::to_string(index) + "]";
  JsonDocument copy = JsonDocument::NewObject();
  std::vector<std::string> keys;
  data_.GetKeys(record, &keys);
  for (const std::string& key : keys)
    if (key != "content") copy.SetObject("", key, data_.GetDocument(record + "." + key));
  return copy;
}

std::string SiteBuilder::NewestUpdate() const {
  std::string newest;
  for (int i = 0, n = data_.GetCount("posts"); i < n; ++i)
    newest = std::max(newest, data_.GetText("posts[" + std::to_string(i) + "].update_time"));
  return newest;
}

std::string SiteBuilder::RenderIndexPage(const std::string& text, const std::string& path, int page,
                                         int total) {
  int per = nav_.paginate;
  int n = data_.GetCount("posts");
  JsonDocument overlay = JsonDocument::NewObject();
  overlay.SetEmptyArray("posts");
  std::string newest;
  for (int i = (page - 1) * per; i < std::min(n, page * per); ++i) {
    overlay.Append("posts", ListRecord(i));
    newest = std::max(newest, data_.GetText("posts[" + std::to_string(i) + "].update_time"));
  }
  int depth = page == 1 ? 0 : 2;
  overlay.SetInt("pager.current", page);
  overlay.SetInt("pager.total", total);
  overlay.SetText("pager.prev_url", page > 1 ? PageLink(IndexPagePath(page - 1), depth) : "");
  overlay.SetText("pager.next_url", page < total ? PageLink(IndexPagePath(page + 1), depth) : "");
  std::string html = Engine().Render(text, PageView(&overlay, depth), path);
  if (!html.empty()) sitemap_.Add(IndexPagePath(page), newest);
  return html;
}

void SiteBuilder::RenderIndexPages() {
  std::set<std::string> keep;
  std::string path = ThemeDir() + "/index.mtpl";
  std::string text;
  if (nav_.paginate > 0 && ReadTextFile(path, &text)) {
    int n = data_.GetCount("posts");
    int total = std::max(1, (n + nav_.paginate - 1) / nav_.paginate);
    for (int page = 2; page <= total; ++page) {
      std::string html = RenderIndexPage(text, path, page, total);
      if (html.empty()) {
        Report(path + ": renders to empty text for page " + std::to_string(page));
        build_failed_ = true;
        continue;
      }
      std::string out = PublicDir() + "/" + IndexPagePath(page);
      if (!MakeFoldersFor(out)) continue;
      Write(out, html);
      keep.insert(std::to_string(page));
    }
  }
  if (nav_.Any()) RemoveStalePages("page", keep);
}

void SiteBuilder::RenderTaxonomy(const std::string& member, const std::string& folder,
                                 const std::string& one, const std::string& all) {
  Taxonomy taxonomy(data_, "posts", member);
  std::set<std::string> keep;
  std::string one_path = ThemeDir() + "/" + one + ".mtpl";
  std::string text;
  bool ok = false;
  std::string page;
  if (ReadTextFile(one_path, &text)) page = Engine().ResolveInheritance(text, one_path, &ok);
  for (const Taxonomy::Group& group : ok ? taxonomy.groups() : std::vector<Taxonomy::Group>{}) {
    JsonDocument overlay = JsonDocument::NewObject();
    overlay.SetText(one + ".name", group.name);
    overlay.SetInt(one + ".count", static_cast<int>(group.posts.size()));
    overlay.SetEmptyArray(one + ".posts");
    for (int i : group.posts) overlay.Append(one + ".posts", ListRecord(i));
    std::string html = Engine().Expand(page, PageView(&overlay, 2), one_path);
    if (html.empty()) {
      Report(one_path + ": renders to empty text for \"" + group.name + "\"");
      continue;
    }
    std::string relative = folder + "/" + group.folder + "/index.html";
    if (!MakeFoldersFor(PublicDir() + "/" + relative)) continue;
    Write(PublicDir() + "/" + relative, html);
    sitemap_.Add(relative, group.newest_update);
    keep.insert(group.folder);
  }
  RemoveStalePages(folder, keep);

  std::string all_path = ThemeDir() + "/" + all + ".mtpl";
  std::string list_page = PublicDir() + "/" + folder + "/index.html";
  if (!ReadTextFile(all_path, &text)) {
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(list_page, ec)) && OutputAllowed(list_page))
      fs::remove(list_page, ec);
    return;
  }
  JsonDocument overlay = JsonDocument::NewObject();
  overlay.SetEmptyArray(all);
  for (const Taxonomy::Group& group : taxonomy.groups()) {
    JsonDocument entry = JsonDocument::NewObject();
    entry.SetText("name", group.name);
    entry.SetInt("count", static_cast<int>(group.posts.size()));
    entry.SetText("url", ok ? url_prefix_ + "/" + folder + "/" + PostIndex::LinkName(group.folder) +
                                  "/index.html"
                            : "");
    overlay.Append(all, std::move(entry));
  }
  std::string html = Engine().Render(text, PageView(&overlay, 1), all_path);
  if (html.empty()) {
    Report(all_path + ": renders to empty text; page skipped");
    return;
  }
  if (!MakeFoldersFor(list_page)) return;
  Write(list_page, html);
  sitemap_.Add(folder + "/index.html", NewestUpdate());
}

void SiteBuilder::SetPostTerms(const PostFile& post) {
  static const struct {
    const char* member;
    const char* one;
  } kLists[] = {{"tags", "tag"}, {"categories", "category"}};
  for (const auto& list : kLists) {
    if (!data_.Exists(std::string("post.") + list.member)) continue;
    std::error_code ec;
    bool pages = fs::exists(ThemeDir() + "/" + list.one + ".mtpl", ec);
    JsonDocument terms = JsonDocument::NewArray();
    for (const std::string& name : list.one[0] == 't' ? post.tags : post.categories) {
      JsonDocument term = JsonDocument::NewObject();
      term.SetText("name", name);
      std::string folder = PostIndex::LinkName(Taxonomy::FolderName(Taxonomy::Fold(name)));
      term.SetText("url",
                   pages ? url_prefix_ + "/" + list.member + "/" + folder + "/index.html" : "");
      terms.Append("", std::move(term));
    }
    data_.SetObject("post", list.member, terms);
  }
}

void SiteBuilder::WriteSearchIndex() {
  if (!nav_.search) return;
  SearchIndex index;
  for (int i = 0, n = data_.GetCount("posts"); i < n; ++i) {
    std::string record = "posts[" + std::to_string(i) + "]";
    index.Add(data_.GetText(record + ".title"), data_.GetText(record + ".url"),
              data_.GetText(record + ".post_time"), NamesAt(data_, record + ".tags"),
              i < static_cast<int>(plain_texts_.size()) ? plain_texts_[i] : "");
  }
  std::string json = index.Json();
  Write(PublicDir() + "/search.json", json);
  // Browsers refuse to fetch files from a page opened as file://, but they
  // run its scripts: the search page loads the same entries as a script.
  Write(PublicDir() + "/search.js", "window.tarnSearchIndex = " + json + ";\n");
}

void SiteBuilder::WriteSitemap() {
  std::string url = data_.GetText("system.url");
  if (url.empty() || sitemap_.empty() || !nav_.Any()) return;
  Write(PublicDir() + "/sitemap.xml", sitemap_.Text(url));
}

void SiteBuilder::RemoveStalePages(const std::string& folder, const std::set<std::string>& keep) {
  // Through a linked folder the removal would reach pages outside public/.
  if (!OutputAllowed(PublicDir() + "/" + folder)) return;
  std::error_code ec;
  fs::directory_iterator it(PublicDir() + "/" + folder, ec);
  if (ec) return;
  std::vector<fs::path> stale;
  for (const auto& entry : it) {
    std::error_code type_ec;
    if (entry.is_symlink(type_ec) || !entry.is_directory(type_ec)) continue;
    if (!keep.count(entry.path().filename().string())) stale.push_back(entry.path());
  }
  for (const fs::path& dir : stale) {
    fs::path page = dir / "index.html";
    std::error_code remove_ec;
    if (!fs::is_regular_file(fs::symlink_status(page, remove_ec))) continue;
    if (!fs::remove(page, remove_ec) && remove_ec) {
      Report(page.string() +
             ": cannot remove a page that no longer exists: " + remove_ec.message());
      continue;
    }
    fs::remove(dir, remove_ec);  // only when nothing else is left in it
  }
}

}  // namespace tarn
