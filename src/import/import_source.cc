#include "import/import_source.h"

#include <algorithm>
#include <initializer_list>
#include <system_error>

#include "content/front_matter.h"
#include "data/language_tag.h"
#include "data/text_file.h"
#include "import/hexo_source.h"
#include "import/hugo_source.h"
#include "import/jekyll_source.h"
#include "import/source_date.h"
#include "import/source_settings.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

bool IsDraft(const FrontMatter& front) {
  bool draft = false;
  bool published = true;
  front.GetFlag("draft", &draft);
  front.GetFlag("published", &published);
  return draft || !published;
}

}  // namespace

ImportSource::ImportSource(fs::path root, const ImportReport* report)
    : root_(std::move(root)), report_(report) {}

std::unique_ptr<ImportSource> ImportSource::Detect(const fs::path& folder,
                                                   const ImportReport* report) {
  // Hexo keeps a _config.yml as Jekyll does, so its source/_posts is asked
  // for first; Jekyll's layout, the least telling, comes last.
  if (HexoSource::Recognizes(folder)) return std::make_unique<HexoSource>(folder, report);
  if (HugoSource::Recognizes(folder)) return std::make_unique<HugoSource>(folder, report);
  if (JekyllSource::Recognizes(folder)) return std::make_unique<JekyllSource>(folder, report);
  return nullptr;
}

void ImportSource::ReadSettings() { settings_read_ = LoadSettings(); }

ImportedSettings::Values ImportSource::site_values() const {
  ImportedSettings::Values values = values_;
  values.url = base_url_;
  values.time_zone = time_zone_;
  return values;
}

void ImportSource::ReadSiteValues(const SourceSettings& config, const SourceSettings* own_params) {
  const SourceSettings params = own_params ? *own_params : config.Get("params");
  auto first = [](std::initializer_list<std::string> texts) {
    for (const std::string& text : texts) {
      if (!text.empty() && text != "default") return text;
    }
    return std::string();
  };
  values_.title = config.Text("title");
  values_.description = first({config.Text("description"), params.Text("description")});
  values_.author = first({config.Text("author"), config.Get("author").Text("name"),
                          params.Text("author"), params.Get("author").Text("name")});
  // Hexo's language may be a list, its first entry the site's language.
  std::vector<std::string> languages = config.Texts("language");
  values_.language = LanguageTag::Normalized(
      first({config.Text("languageCode"), languages.empty() ? "" : languages.front(),
             config.Text("lang"), config.Text("locale"), config.Text("defaultContentLanguage")}));
}

int ImportSource::ReplaceOwnTags(const Post&, const std::string&, std::string*) const { return 0; }

ImportSource::Translated ImportSource::TranslateTags(const Post&, const Articles&,
                                                     const ImportReport&, std::string*) const {
  return {};
}

void ImportSource::ReportLeftTags(const Post& post, const ImportReport& report,
                                  const std::vector<std::pair<int, std::string>>& left) const {
  for (const auto& [line, tag] : left) {
    report.Note(report.Shown(post.file) + ":" + std::to_string(line) + ": " + tag +
                " left as written; tarn shows it as text: replace it by hand");
  }
}

ImportSource::Address ImportSource::OldAddress(const Post& post, const FrontMatter& front) const {
  Address result;
  std::optional<Permalink::Date> date = DateAt(front, "date");
  if (front.GetText("date").empty())
    result.implied_date = ImpliedDate(post, front, &result.date_key);
  if (result.implied_date) date = result.implied_date;
  if (post.draft || IsDraft(front)) {
    result.draft = true;
    result.why = "a draft";
  } else if (!settings_read_) {
    result.why = "the site's configuration cannot be read";
  } else {
    result.address = AddressOf(post, front, date, &result.why);
  }
  return result;
}

std::optional<Permalink::Date> ImportSource::ImpliedDate(const Post&, const FrontMatter&,
                                                         std::string*) const {
  return std::nullopt;
}

std::map<std::string, std::vector<std::string>> ImportSource::ListsAsRead(
    const FrontMatter&) const {
  return {};
}

void ImportSource::set_base_url(const std::string& url, const std::string& path) {
  std::string base = url;
  while (!base.empty() && base.back() == '/') base.pop_back();
  size_t host = base.find("://");
  bool has_path = host != std::string::npos && base.find('/', host + 3) != std::string::npos;
  if (!base.empty() && !has_path && !path.empty() && path != "/") {
    base += (path[0] == '/' ? "" : "/") + path;
    while (base.back() == '/') base.pop_back();
  }
  base_url_ = base;
}

bool ImportSource::IsChosen(const std::string& name) const {
  return std::find(chosen_.begin(), chosen_.end(), name) != chosen_.end();
}

void ImportSource::set_time_zone(const std::string& zone) {
  if (zone.empty()) return;
  if (SourceDate::Stamp(Permalink::Date{2000, 1, 1}, zone).empty()) {
    report().Note("time zone " + zone +
                  " is not known here; dates without an offset are kept "
                  "as written");
    return;
  }
  time_zone_ = zone;
  report().Note("dates without an offset are read in the time zone " + zone);
}

bool ImportSource::LoadSettingsFile(const fs::path& file, SourceSettings* config) const {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return true;  // the defaults apply
  std::string error;
  if (config->Load(file, &error)) return true;
  report().Note(error + "; old addresses cannot be told");
  return false;
}

std::string ImportSource::PermalinkSetting(const SourceSettings& config,
                                           const std::string& fallback) const {
  std::string pattern = config.Text("permalink");
  if (!pattern.empty()) {
    report().Note("old addresses follow the permalink setting " + pattern);
    return pattern;
  }
  report().Note("no permalink setting: old addresses follow the default " + fallback);
  return fallback;
}

std::vector<ImportSource::Post> ImportSource::PostsUnder(
    const fs::path& folder, bool drafts, const SiteFiles::EnterFolder& enter) const {
  auto on_link = [this](const fs::path& link) { report().SymbolicLink(link); };
  std::vector<Post> posts;
  for (const fs::path& file : SiteFiles::FilesUnder(folder, enter, on_link)) {
    if (file.filename().string()[0] == '.') continue;
    if (!SiteFiles::IsMarkdown(file)) {
      SkipOtherContent(file);
      continue;
    }
    Post post;
    post.file = file;
    post.name = file.stem().string();
    post.relative = SiteFiles::Inside(fs::path(file).replace_extension(), folder);
    post.draft = drafts;
    posts.push_back(std::move(post));
  }
  return posts;
}

std::vector<ImportSource::Post> ImportSource::PagesUnder(const fs::path& folder,
                                                         const SiteFiles::EnterFolder& enter,
                                                         bool with_front) const {
  std::vector<Post> pages;
  for (const fs::path& file : SiteFiles::FilesUnder(folder, enter, [](const fs::path&) {})) {
    char first = file.filename().string()[0];
    if (first == '.' || first == '_' || !SiteFiles::IsMarkdown(file)) continue;
    std::string text;
    if (with_front &&
        (!ReadTextFile(file.string(), &text) || FrontMatter::BodyOf(text).size() == text.size())) {
      continue;
    }
    Post page;
    page.file = file;
    page.name = file.stem().string();
    page.relative = SiteFiles::Inside(fs::path(file).replace_extension(), folder);
    if (page.name == "index") {
      if (file.parent_path() == folder) {
        report().ContentSkipped(report().Shown(file),
                                "the home page (tarn's index lists the posts; not imported)");
        continue;
      }
      page.name = file.parent_path().filename().string();
    }
    pages.push_back(std::move(page));
  }
  return pages;
}

std::string ImportSource::PageAddress(const Post& page) const {
  constexpr std::string_view kIndex = "/index";
  std::string_view relative = page.relative;
  if (relative.size() > kIndex.size() &&
      relative.substr(relative.size() - kIndex.size()) == kIndex) {
    return "/" + std::string(relative.substr(0, relative.size() - kIndex.size() + 1));
  }
  return "/" + page.relative + ".html";
}

void ImportSource::SkipOtherContent(const fs::path& file) const {
  if (SiteFiles::IsOtherContent(file))
    report().ContentSkipped(report().Shown(file), "not Markdown");
}

std::optional<Permalink::Date> ImportSource::DateAt(const FrontMatter& front,
                                                    std::string_view key) {
  Permalink::Date date;
  if (!Permalink::ParseDate(front.GetText(key), &date)) return std::nullopt;
  return date;
}

std::string ImportSource::Expanded(const std::string& pattern, std::optional<Permalink::Date> date,
                                   const std::map<std::string, std::string>& values,
                                   std::string* why) {
  std::string address = Permalink::Expand(pattern, date ? &*date : nullptr, values, why);
  Permalink::Date any{2000, 1, 1};
  if (address.empty() && !date && !Permalink::Expand(pattern, &any, values, nullptr).empty()) {
    *why += " (the post has no date the old site's address was made from)";
  }
  return address;
}

}  // namespace tarn
