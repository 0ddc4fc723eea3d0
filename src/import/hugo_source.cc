#include "import/hugo_source.h"

#include <algorithm>
#include <system_error>

#include "content/front_matter.h"
#include "data/text_file.h"
#include "import/import_text.h"
#include "import/jekyll_source.h"
#include "import/shortcode_translator.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSettingsNames[] = {"hugo", "config"};
constexpr const char* kSettingsExtensions[] = {".toml", ".yaml", ".yml", ".json"};
constexpr char kDefaultPermalink[] = "/:sections/:slugorfilename/";

}  // namespace

HugoSource::HugoSource(fs::path folder, const ImportReport* report)
    : ImportSource(std::move(folder), report), content_(root() / "content") {}

bool HugoSource::Recognizes(const fs::path& folder) {
  std::error_code ec;
  bool content = fs::is_directory(folder / "content", ec);
  for (const char* base : kSettingsNames) {
    for (const char* extension : kSettingsExtensions) {
      if (fs::is_regular_file(folder / (std::string(base) + extension), ec) &&
          (content || base[0] == 'h')) {
        return true;
      }
    }
  }
  return content && fs::is_directory(folder / "config/_default", ec);
}

bool HugoSource::LoadSettings() {
  SourceSettings config;
  bool readable = LoadMainSettings(&config);
  readable = LoadPermalinks(config) && readable;
  ugly_urls_ = config.Flag("uglyURLs", false);
  lower_paths_ = !config.Flag("disablePathToLower", false);
  std::string content = config.Text("contentDir");
  content_ = root() / (content.empty() ? "content" : content);
  set_time_zone(config.Text("timeZone"));
  // A theme's parameters that do not read are reported; addresses do not
  // depend on them.
  bool params_read = true;
  SourceSettings params = DefaultFile("params", &params_read);
  if (!params.IsMap()) params = config.Get("params");
  ReadSiteValues(config, &params);
  set_base_url(config.Text("baseURL"), "");
  date_order_ = config.Get("frontmatter").Texts("date");
  if (date_order_.empty()) date_order_.push_back(":default");
  filename_dates_ =
      std::find(date_order_.begin(), date_order_.end(), ":filename") != date_order_.end();
  for (const auto& [section, flag] : config.Get("uglyURLs").TextEntries()) {
    ugly_sections_[ImportText::Lowered(section)] = ImportText::Lowered(flag) == "true";
  }
  for (const auto& [key, value] : config.Get("params").TextEntries()) {
    site_params_[ImportText::Lowered(key)] = value;
  }
  static_dirs_ = config.Texts("staticDir");
  if (static_dirs_.empty()) static_dirs_.push_back("static");
  if (!readable) return false;
  if (section_permalinks_.empty()) {
    report().Note("no permalinks setting: old addresses follow Hugo's default /SECTION/NAME/");
  }
  for (const auto& [section, pattern] : section_permalinks_) {
    report().Note("old addresses in " + section + " follow " + pattern);
  }
  return true;
}

bool HugoSource::LoadMainSettings(SourceSettings* config) const {
  for (const fs::path& folder : {root(), root() / "config/_default"}) {
    for (const char* base : kSettingsNames) {
      for (const char* extension : kSettingsExtensions) {
        fs::path file = folder / (std::string(base) + extension);
        std::error_code ec;
        if (fs::exists(file, ec)) return LoadSettingsFile(file, config);
      }
    }
  }
  return true;
}

SourceSettings HugoSource::DefaultFile(const std::string& name, bool* readable) const {
  SourceSettings found;
  for (const char* extension : kSettingsExtensions) {
    fs::path file = root() / "config/_default" / (name + extension);
    SourceSettings own;
    std::error_code ec;
    if (fs::exists(file, ec)) *readable = LoadSettingsFile(file, &own) && *readable;
    if (own.IsMap()) found = own;
  }
  return found;
}

bool HugoSource::LoadPermalinks(const SourceSettings& config) {
  bool readable = true;
  SourceSettings permalinks = config.Get("permalinks");
  if (SourceSettings own = DefaultFile("permalinks", &readable); own.IsMap()) permalinks = own;
  // Hugo's newer form keeps the patterns of pages under "page".
  if (permalinks.Get("page").IsMap()) permalinks = permalinks.Get("page");
  for (const auto& [section, pattern] : permalinks.TextEntries()) {
    section_permalinks_[ImportText::Lowered(section)] = pattern;
  }
  return readable;
}

std::vector<ImportSource::Post> HugoSource::Posts() const {
  std::vector<Post> posts;
  std::error_code ec;
  std::vector<fs::path> sections;
  for (fs::directory_iterator it(content_, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name[0] != '.' && it->is_directory(ec) && !it->is_symlink(ec)) {
      sections.push_back(it->path());
    }
  }
  std::sort(sections.begin(), sections.end());
  for (const fs::path& section : sections) {
    std::string name = section.filename().string();
    // content/NAME/index.md is a page bundle, not a section.
    if (fs::path index = BundleIndex(section); !index.empty()) {
      report().ContentSkipped(report().Shown(index), "a page, not a post (not imported)");
      continue;
    }
    std::vector<Post> found = SectionPosts(section);
    bool own = name == "posts" || name == "post";
    if (chosen().empty() ? !own && !AnyDated(found) : !IsChosen(name)) {
      if (!found.empty()) {
        report().ContentSkipped(report().Shown(section) + "/",
                                std::to_string(found.size()) +
                                    (chosen().empty() ? " page(s) without dates, not posts"
                                                      : " page(s) of a section not chosen") +
                                    " (not imported)");
      }
      continue;
    }
    for (Post& post : found) {
      if (!own && chosen().empty()) post.category = name;
      posts.push_back(std::move(post));
    }
  }
  for (const std::string& name : chosen()) {
    if (std::find_if(sections.begin(), sections.end(), [&name](const fs::path& section) {
          return section.filename() == name;
        }) == sections.end()) {
      report().Note("no section " + name + " in " + report().Shown(content_));
    }
  }
  ReportLoosePages();
  if (sections.empty()) {
    report().Note("no posts: " + report().Shown(content_) + " has no section folders");
  }
  std::sort(posts.begin(), posts.end(),
            [](const Post& a, const Post& b) { return a.file < b.file; });
  return posts;
}

bool HugoSource::AnyDated(const std::vector<Post>& posts) const {
  return std::any_of(posts.begin(), posts.end(), [this](const Post& post) {
    FrontMatter front;
    std::string text;
    if (ReadTextFile(post.file.string(), &text)) front.Read(text, "", [](const std::string&) {});
    std::string key;
    return DateAt(front, "date") || ImpliedDate(post, front, &key);
  });
}

void HugoSource::ReportLoosePages() const {
  std::error_code ec;
  for (fs::directory_iterator it(content_, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name[0] != '.' && name.rfind("_index.", 0) != 0 && it->is_regular_file(ec) &&
        SiteFiles::IsMarkdown(it->path())) {
      report().ContentSkipped(report().Shown(it->path()), "a page, not a post (not imported)");
    }
  }
}

fs::path HugoSource::BundleIndex(const fs::path& folder) {
  for (const char* extension : SiteFiles::kMarkdownExtensions) {
    fs::path index = folder / (std::string("index") + extension);
    std::error_code ec;
    if (fs::is_regular_file(index, ec) && !fs::is_symlink(index, ec)) return index;
  }
  return {};
}

std::vector<ImportSource::Post> HugoSource::SectionPosts(const fs::path& section) const {
  std::vector<Post> posts;
  // A folder with an index file is a page bundle: one post, named after
  // the folder, whose files are all its own.
  auto enter = [&](const fs::path& folder) {
    fs::path index = BundleIndex(folder);
    if (index.empty()) return true;
    posts.push_back({index, folder, folder.filename().string(),
                     SiteFiles::Inside(folder.parent_path(), content_)});
    return false;
  };
  auto on_link = [this](const fs::path& link) { report().SymbolicLink(link); };
  for (const fs::path& file : SiteFiles::FilesUnder(section, enter, on_link)) {
    std::string name = file.filename().string();
    if (name[0] == '.') continue;
    if (name.rfind("_index.", 0) == 0) {
      report().Skipped(report().Shown(file) + ": a section's list page, not a post");
    } else if (SiteFiles::IsMarkdown(file)) {
      posts.push_back(
          {file, {}, file.stem().string(), SiteFiles::Inside(file.parent_path(), content_)});
    } else {
      SkipOtherContent(file);
    }
  }
  return posts;
}

std::optional<Permalink::Date> HugoSource::ImpliedDate(const Post& post, const FrontMatter& front,
                                                       std::string* key_out) const {
  static constexpr const char* kDefaultKeys[] = {"date",    "publishDate", "publishdate",
                                                 "pubdate", "pubDate",     "published",
                                                 "lastmod", "modified"};
  for (const std::string& source : date_order_) {
    if (source == ":filename") {
      Permalink::Date date;
      std::string slug;
      if (JekyllSource::SplitName(post.name, &date, &slug)) {
        return date;
      }
      continue;
    }
    std::vector<std::string> keys = {source};
    if (source == ":default") keys.assign(std::begin(kDefaultKeys), std::end(kDefaultKeys));
    for (const std::string& key : keys) {
      if (std::optional<Permalink::Date> date = DateAt(front, key)) {
        *key_out = key;
        return date;
      }
    }
  }
  return std::nullopt;
}

std::vector<ImportSource::StaticRoot> HugoSource::StaticRoots() const {
  std::vector<StaticRoot> roots;
  for (const std::string& folder : static_dirs_) roots.push_back({root() / folder, ""});
  return roots;
}

std::string HugoSource::AddressOf(const Post& post, const FrontMatter& front,
                                  std::optional<Permalink::Date> date, std::string* why) const {
  if (std::string own = front.GetText("url"); !own.empty()) {
    return Expanded(own, std::nullopt, {}, why);
  }
  bool lower = lower_paths_;
  std::string slug = front.GetText("slug");
  // A date taken from the file name leaves the rest of it as the slug.
  Permalink::Date name_date;
  std::string rest;
  if (slug.empty() && filename_dates_ && JekyllSource::SplitName(post.name, &name_date, &rest)) {
    slug = rest;
  }
  std::string section = post.relative.substr(0, post.relative.find('/'));
  std::map<std::string, std::string> values;
  values["title"] = Permalink::HugoSlug(front.GetText("title"), lower);
  values["filename"] = values["contentbasename"] = Permalink::HugoSlug(post.name, lower);
  values["slug"] = slug.empty() ? values["title"] : Permalink::HugoSlug(slug, lower);
  values["slugorfilename"] = values["slugorcontentbasename"] =
      slug.empty() ? values["filename"] : values["slug"];
  values["section"] = Permalink::HugoSlug(section, lower);
  values["sections"] = Permalink::HugoSlug(post.relative, lower);
  auto found = section_permalinks_.find(ImportText::Lowered(section));
  std::string pattern = found != section_permalinks_.end() ? found->second : kDefaultPermalink;
  std::string address = Expanded(pattern, date, values, why);
  auto ugly = ugly_sections_.find(ImportText::Lowered(section));
  bool ugly_urls = ugly != ugly_sections_.end() ? ugly->second : ugly_urls_;
  if (ugly_urls && address.size() > 1 && address.back() == '/') {
    address.back() = '.';
    address += "html";
  }
  return address;
}

ImportSource::Translated HugoSource::TranslateTags(const Post& post, const Articles& articles,
                                                   const ImportReport& report,
                                                   std::string* text) const {
  FrontMatter front;
  front.Read(*text, "", [](const std::string&) {});
  auto params = [&](const std::string& key) {
    std::string value = front.GetText(key);
    if (value.empty()) value = front.GetText("params." + key);
    auto site = site_params_.find(ImportText::Lowered(key));
    return value.empty() && site != site_params_.end() ? site->second : value;
  };
  auto refs = [&](const std::string& path) { return RefLink(post, articles, path); };
  ShortcodeTranslator::Left left;
  int translated = ShortcodeTranslator(params, refs).Translate(text, &left);
  ReportLeftTags(post, report, left);
  return {translated, 0};
}

std::string HugoSource::RefLink(const Post& post, const Articles& articles,
                                const std::string& path) const {
  std::string relative = path;
  while (!relative.empty() && relative.back() == '/') relative.pop_back();
  const bool rooted = !relative.empty() && relative.front() == '/';
  std::vector<fs::path> bases = {content_};
  if (!rooted) bases.push_back(post.file.parent_path());
  for (const fs::path& base : bases) {
    fs::path file = (base / fs::path(relative).relative_path()).lexically_normal();
    for (const fs::path& candidate :
         {file, fs::path(file).concat(".md"), file / "index.md", file / "_index.md"}) {
      if (auto found = articles.find(candidate); found != articles.end()) return found->second;
    }
  }
  // Hugo also finds a page by its name alone, when no other has it.
  const std::string name = fs::path(relative).stem().string();
  std::string link;
  for (const auto& [file, article] : articles) {
    std::string own =
        file.stem() == "index" ? file.parent_path().filename().string() : file.stem().string();
    if (own != name) continue;
    if (!link.empty()) return "";
    link = article;
  }
  return link;
}

}  // namespace tarn
