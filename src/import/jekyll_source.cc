#include "import/jekyll_source.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>
#include <system_error>

#include "content/front_matter.h"
#include "data/json_document.h"
#include "data/text_file.h"
#include "import/import_text.h"
#include "import/liquid_translator.h"
#include "import/markdown_code.h"
#include "import/post_links.h"
#include "import/source_settings.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

constexpr char kCollectionPermalink[] = "/:collection/:path:output_ext";

// text with the first separator outside its code made tarn's excerpt
// marker, on a line of its own. A separator of white space alone (Jekyll's
// default, the first paragraph) is left to the theme's summaries.
std::string MarkExcerpt(const std::string& text, const std::string& separator) {
  if (separator.find_first_not_of(" \t\r\n") == std::string::npos) return text;
  bool marked = false;
  return MarkdownCode::ChangeOutside(text, separator, [&](size_t at) -> MarkdownCode::Change {
    if (marked) return {false, std::string::npos, ""};
    marked = true;
    const size_t end = at + separator.size();
    return {true, end, MarkdownCode::OnOwnLines(text, at, end, "<!--more-->")};
  });
}

}  // namespace

JekyllSource::JekyllSource(fs::path folder, const ImportReport* report)
    : ImportSource(std::move(folder), report) {}

bool JekyllSource::Recognizes(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder / "_posts", ec) ||
         (fs::is_regular_file(folder / "_config.yml", ec) &&
          fs::is_directory(folder / "_drafts", ec));
}

bool JekyllSource::SplitName(const std::string& name, Permalink::Date* date, std::string* slug) {
  static const std::regex kName("^(\\d{2,4})-(\\d{1,2})-(\\d{1,2})-(.*)$");
  std::smatch match;
  if (!std::regex_match(name, match, kName)) return false;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", std::stoi(match[1].str()),
                std::stoi(match[2].str()), std::stoi(match[3].str()));
  if (!Permalink::ParseDate(buffer, date)) return false;
  *slug = match[4].str();
  return true;
}

std::string JekyllSource::PatternOf(const std::string& setting) {
  if (setting == "date") return "/:categories/:year/:month/:day/:title:output_ext";
  if (setting == "pretty") return "/:categories/:year/:month/:day/:title/";
  if (setting == "ordinal") return "/:categories/:year/:y_day/:title:output_ext";
  if (setting == "weekdate") return "/:categories/:year/W:week/:short_day/:title:output_ext";
  if (setting == "none") return "/:categories/:title:output_ext";
  return setting;
}

bool JekyllSource::LoadSettings() {
  SourceSettings config;
  if (!LoadSettingsFile(root() / "_config.yml", &config)) return false;
  permalink_ = PatternOf(PermalinkSetting(config, "date"));
  excerpt_separator_ = config.Text("excerpt_separator");
  set_time_zone(config.Text("timezone"));
  ReadSiteValues(config);
  set_base_url(config.Text("url"), config.Text("baseurl"));
  SourceSettings collections = config.Get("collections");
  for (const std::string& name : collections.Names()) {
    SourceSettings collection = collections.Get(name);
    if (name == "posts") continue;
    if (!collection.Flag("output", false)) {
      report().Note("the collection " + name + " is not published (no output: true): not imported");
      continue;
    }
    std::string pattern = collection.Text("permalink");
    collections_[name] = pattern.empty() ? kCollectionPermalink : PatternOf(pattern);
  }
  return true;
}

std::vector<ImportSource::Post> JekyllSource::Posts() const {
  auto enter_all = [](const fs::path&) { return true; };
  std::vector<Post> posts = PostsUnder(root() / "_posts", false, enter_all);
  std::vector<Post> drafts = PostsUnder(root() / "_drafts", true, enter_all);
  posts.insert(posts.end(), drafts.begin(), drafts.end());
  // NAME/_posts/ holds posts of the category NAME.
  std::error_code ec;
  std::vector<fs::path> folders;
  for (fs::directory_iterator it(root(), ec), end; !ec && it != end; it.increment(ec)) {
    char first = it->path().filename().string()[0];
    if (first != '_' && first != '.' && !it->is_symlink(ec) && it->is_directory(ec) &&
        fs::is_directory(it->path() / "_posts", ec)) {
      folders.push_back(it->path());
    }
  }
  std::sort(folders.begin(), folders.end());
  for (const fs::path& folder : folders) {
    for (Post& post : PostsUnder(folder / "_posts", false, enter_all)) {
      post.category = folder.filename().string();
      posts.push_back(std::move(post));
    }
  }
  for (const auto& [name, pattern] : collections_) {
    if (!chosen().empty() && !IsChosen(name)) {
      report().Note("the collection " + name + " is not chosen: not imported");
      continue;
    }
    std::vector<Post> found = CollectionPosts(name);
    posts.insert(posts.end(), found.begin(), found.end());
  }
  for (const std::string& name : chosen()) {
    if (!collections_.count(name)) report().Note("no published collection " + name);
  }
  return posts;
}

std::vector<ImportSource::Post> JekyllSource::CollectionPosts(const std::string& name) const {
  auto enter_all = [](const fs::path&) { return true; };
  std::vector<Post> posts;
  for (Post& post : PostsUnder(root() / ("_" + name), false, enter_all)) {
    FrontMatter front;
    std::string text;
    if (ReadTextFile(post.file.string(), &text)) front.Read(text, "", [](const std::string&) {});
    Permalink::Date date;
    std::string slug;
    if (!DateAt(front, "date") && !SplitName(post.name, &date, &slug)) {
      report().ContentSkipped(report().Shown(post.file), "a document of the collection " + name +
                                                             " without a date, not a post");
      continue;
    }
    post.section = name;
    if (chosen().empty()) post.category = name;
    posts.push_back(std::move(post));
  }
  return posts;
}

std::vector<ImportSource::StaticRoot> JekyllSource::StaticRoots() const {
  return {{root() / "assets", "assets/"}, {root() / "images", "images/"}};
}

std::vector<fs::path> JekyllSource::LooseFiles() const {
  return {root() / "CNAME", root() / "favicon.ico", root() / "robots.txt"};
}

std::optional<Permalink::Date> JekyllSource::ImpliedDate(const Post& post, const FrontMatter&,
                                                         std::string*) const {
  Permalink::Date date;
  std::string slug;
  if (!SplitName(post.name, &date, &slug)) return std::nullopt;
  return date;
}

std::vector<std::string> JekyllSource::Words(const FrontMatter& front, std::string_view key) {
  std::vector<std::string> words;
  for (const std::string& text : front.GetList(key)) {
    std::istringstream in(text);
    for (std::string word; in >> word;) {
      if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
    }
  }
  return words;
}

std::map<std::string, std::vector<std::string>> JekyllSource::ListsAsRead(
    const FrontMatter& front) const {
  std::map<std::string, std::vector<std::string>> lists;
  for (const char* key : {"tags", "categories"}) {
    std::vector<std::string> words = Words(front, key);
    if (front.values().GetType(key) == JsonDocument::kString && words.size() > 1) {
      lists[key] = words;
    }
  }
  return lists;
}

std::string JekyllSource::AddressOf(const Post& post, const FrontMatter& front,
                                    std::optional<Permalink::Date> date, std::string* why) const {
  Permalink::Date name_date;
  std::string name_slug;
  bool dated_name = SplitName(post.name, &name_date, &name_slug);
  if (!dated_name && post.section.empty()) {
    *why = "its name does not start with a date, so Jekyll did not publish it";
    return "";
  }
  if (!dated_name) name_slug = post.name;
  std::string own = front.GetText("permalink");
  std::string pattern = own.empty() ? permalink_ : PatternOf(own);
  if (own.empty() && !post.section.empty()) pattern = collections_.at(post.section);
  std::string slug = front.GetText("slug");
  if (slug.empty()) slug = name_slug;
  // Each word of category and categories, lower-cased, once.
  std::vector<std::string> categories;
  // The folder above a NAME/_posts/ comes first.
  if (post.section.empty() && !post.category.empty()) {
    categories.push_back(ImportText::Lowered(post.category));
  }
  for (const char* key : {"category", "categories"}) {
    for (std::string word : Words(front, key)) {
      word = ImportText::Lowered(word);
      if (std::find(categories.begin(), categories.end(), word) == categories.end()) {
        categories.push_back(word);
      }
    }
  }
  std::map<std::string, std::string> values = {
      {"title", Permalink::JekyllSlug(slug, true, true)},
      {"slug", Permalink::JekyllSlug(slug, false, false)},
      {"categories", ImportText::Joined(categories, "/")},
      {"output_ext", ".html"},
      {"collection", post.section},
      {"path", post.relative},
      {"name", Permalink::JekyllSlug(post.name, false, false)}};
  return Expanded(pattern, date, values, why);
}

}  // namespace tarn

namespace tarn {

ImportSource::Translated JekyllSource::TranslateTags(const Post& post, const Articles& articles,
                                                     const ImportReport& report,
                                                     std::string* text) const {
  LiquidTranslator::Lookup lookup;
  lookup.post = [&](const std::string& name) { return ArticleOf(articles, name); };
  lookup.link = [&](const std::string& path) { return LinkOf(articles, path); };
  lookup.include = [&](const std::string& name, bool relative, std::string* out) {
    return IncludeOf(relative ? post.file.parent_path() : root() / "_includes", name, out);
  };
  lookup.static_file = [this](const std::string& path) { return StaticLink(path); };
  FrontMatter front;
  front.Read(*text, "", [](const std::string&) {});
  const std::string separator = front.GetText("excerpt_separator");
  *text = MarkExcerpt(*text, separator.empty() ? excerpt_separator_ : separator);
  LiquidTranslator::Result result = LiquidTranslator::Translate(*text, lookup);
  for (const LiquidTranslator::Remark& remark : result.remarks) {
    report.Note(report.Shown(post.file) + ":" + std::to_string(remark.line) + ": " +
                remark.construct + ": " + remark.what);
  }
  *text = std::move(result.text);
  return {0, result.links};
}

std::string JekyllSource::ArticleOf(const Articles& articles, const std::string& name) const {
  // post_url names a post of a _posts/ folder by its file name.
  const std::string stem = fs::path(name).filename().string();
  for (const auto& [file, article] : articles) {
    const fs::path relative = file.lexically_relative(root());
    if (file.stem().string() == stem &&
        std::find(relative.begin(), relative.end(), "_posts") != relative.end()) {
      return article;
    }
  }
  return "";
}

std::string JekyllSource::LinkOf(const Articles& articles, const std::string& path) const {
  fs::path relative = fs::path(path).relative_path().lexically_normal();
  if (relative.empty() || *relative.begin() == "..") return "";
  if (auto post = articles.find(root() / relative); post != articles.end()) return post->second;
  std::error_code ec;
  std::string extension = ImportText::Lowered(relative.extension().string());
  bool page = extension == ".md" || extension == ".markdown" || extension == ".html";
  if (page || !fs::is_regular_file(root() / relative, ec)) return "";
  std::string link = StaticLink("/" + relative.generic_string());
  return link.empty() ? "/" + relative.generic_string() : link;
}

std::string JekyllSource::StaticLink(const std::string& path) const {
  const std::string relative =
      fs::path(PostLinks::Decode(path)).relative_path().lexically_normal().generic_string();
  if (relative.empty() || relative.rfind("..", 0) == 0) return "";
  for (const StaticRoot& static_root : StaticRoots()) {
    const std::string& prefix = static_root.prefix;
    std::error_code ec;
    if (relative.compare(0, prefix.size(), prefix) == 0 &&
        fs::is_regular_file(
            fs::symlink_status(static_root.folder / relative.substr(prefix.size()), ec))) {
      // Articles lie in articles/, the static files at the site's root.
      return "../" + PostLinks::Encode(relative);
    }
  }
  return "";
}

bool JekyllSource::IncludeOf(const fs::path& folder, const std::string& name,
                             std::string* text) const {
  fs::path relative = fs::path(name).lexically_normal();
  std::string extension = ImportText::Lowered(relative.extension().string());
  if (relative.is_absolute() || relative.empty() || *relative.begin() == ".." ||
      (extension != ".html" && extension != ".md" && extension != ".markdown")) {
    return false;
  }
  std::string content;
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(folder / relative, ec)) ||
      !ReadTextFile((folder / relative).string(), &content) ||
      content.find("{{") != std::string::npos || content.find("{%") != std::string::npos) {
    return false;
  }
  while (!content.empty() && content.back() == '\n') content.pop_back();
  *text = std::move(content);
  return true;
}

}  // namespace tarn
