#include "import/jekyll_source.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>
#include <system_error>

#include "content/front_matter.h"
#include "import/import_text.h"
#include "import/source_settings.h"

namespace tarn {

namespace fs = std::filesystem;

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
  return true;
}

std::vector<ImportSource::Post> JekyllSource::Posts() const {
  auto enter_all = [](const fs::path&) { return true; };
  std::vector<Post> posts = PostsUnder(root() / "_posts", false, enter_all);
  std::vector<Post> drafts = PostsUnder(root() / "_drafts", true, enter_all);
  posts.insert(posts.end(), drafts.begin(), drafts.end());
  return posts;
}

std::vector<ImportSource::StaticRoot> JekyllSource::StaticRoots() const {
  return {{root() / "assets", "assets/"}, {root() / "images", "images/"}};
}

std::vector<fs::path> JekyllSource::LooseFiles() const {
  return {root() / "CNAME", root() / "favicon.ico", root() / "robots.txt"};
}

std::optional<Permalink::Date> JekyllSource::DateFromName(const Post& post,
                                                          const FrontMatter& front) const {
  Permalink::Date date;
  std::string slug;
  if (!front.GetText("date").empty() || !SplitName(post.name, &date, &slug)) return std::nullopt;
  return date;
}

std::string JekyllSource::AddressOf(const Post& post, const FrontMatter& front,
                                    std::optional<Permalink::Date> date, std::string* why) const {
  Permalink::Date name_date;
  std::string name_slug;
  if (!SplitName(post.name, &name_date, &name_slug)) {
    *why = "its name does not start with a date, so Jekyll did not publish it";
    return "";
  }
  std::string own = front.GetText("permalink");
  std::string pattern = own.empty() ? permalink_ : PatternOf(own);
  std::string slug = front.GetText("slug");
  if (slug.empty()) slug = name_slug;
  // Each word of category and categories, lower-cased, once.
  std::vector<std::string> categories;
  for (const char* key : {"category", "categories"}) {
    for (const std::string& text : front.GetList(key)) {
      std::istringstream words(text);
      for (std::string word; words >> word;) {
        word = ImportText::Lowered(word);
        if (std::find(categories.begin(), categories.end(), word) == categories.end()) {
          categories.push_back(word);
        }
      }
    }
  }
  std::map<std::string, std::string> values = {{"title", Permalink::JekyllSlug(slug, true, true)},
                                               {"slug", Permalink::JekyllSlug(slug, false, false)},
                                               {"categories", ImportText::Joined(categories, "/")},
                                               {"output_ext", ".html"}};
  return Expanded(pattern, date, values, why);
}

}  // namespace tarn
