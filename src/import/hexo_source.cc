#include "import/hexo_source.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <system_error>

#include "content/front_matter.h"
#include "data/json_document.h"
#include "data/text_file.h"
#include "import/hexo_tag_translator.h"
#include "import/import_text.h"
#include "import/post_links.h"
#include "import/source_date.h"
#include "import/source_settings.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

constexpr char kDefaultPermalink[] = ":year/:month/:day/:title/";
constexpr char kDefaultPostName[] = ":title.md";

// What one asset tag stands for, given the address of the file it names.
std::string AssetTagText(const std::string& tag, const std::string& url, const std::string& name,
                         std::vector<std::string> rest) {
  if (tag == "asset_path") return url;
  while (tag == "asset_img" && !rest.empty() &&
         std::all_of(rest[0].begin(), rest[0].end(), [](char c) { return std::isdigit(c); })) {
    rest.erase(rest.begin());  // width and height
  }
  std::string title = ImportText::Joined(rest, " ");
  if (title.size() >= 2 && (title[0] == '"' || title[0] == '\'') && title.back() == title[0]) {
    title = title.substr(1, title.size() - 2);
  }
  if (tag == "asset_img") return "![" + title + "](" + url + ")";
  return "[" + (title.empty() ? name : title) + "](" + url + ")";
}

}  // namespace

HexoSource::HexoSource(fs::path folder, const ImportReport* report)
    : ImportSource(std::move(folder), report), post_name_(kDefaultPostName) {}

bool HexoSource::Recognizes(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder / "source/_posts", ec) ||
         fs::is_directory(folder / "source/_drafts", ec);
}

std::string HexoSource::ReplaceAssetTags(const std::string& text, const fs::path& assets,
                                         const std::string& folder_link, int* replaced) {
  std::string out;
  size_t copied = 0;
  for (size_t open = text.find("{%"); open != std::string::npos; open = text.find("{%", open + 2)) {
    size_t close = text.find("%}", open);
    if (close == std::string::npos) break;
    std::istringstream words(text.substr(open + 2, close - open - 2));
    std::string tag;
    words >> tag;
    if (tag != "asset_img" && tag != "asset_path" && tag != "asset_link") continue;
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    // The file is the first argument that names one: asset_img may open
    // with a class or a size.
    std::error_code ec;
    size_t at = 0;
    while (at < args.size() && !fs::is_regular_file(assets / args[at], ec)) ++at;
    if (at == args.size()) continue;
    std::vector<std::string> rest(args.begin() + static_cast<long>(at) + 1, args.end());
    out.append(text, copied, open - copied);
    out += AssetTagText(tag, folder_link + PostLinks::Encode(args[at]), args[at], rest);
    copied = close + 2;
    ++*replaced;
  }
  out.append(text, copied);
  return out;
}

bool HexoSource::LoadSettings() {
  SourceSettings config;
  bool readable = LoadSettingsFile(root() / "_config.yml", &config);
  if (readable) permalink_ = PermalinkSetting(config, kDefaultPermalink);
  if (std::string name = config.Text("new_post_name"); !name.empty()) {
    post_name_ = HexoPostName(name);
  }
  if (std::string category = config.Text("default_category"); !category.empty()) {
    default_category_ = category;
  }
  set_time_zone(config.Text("timezone"));
  ReadSiteValues(config);
  set_base_url(config.Text("url"), config.Text("root"));
  for (const auto& [key, value] : config.Get("permalink_defaults").TextEntries()) {
    permalink_defaults_[key] = value;
  }
  return readable;
}

std::vector<ImportSource::Post> HexoSource::Posts() const {
  if (!chosen().empty())
    report().Note("a Hexo site has no sections: the sections chosen are not used");
  // A folder beside a post of the same name is that post's assets.
  auto enter = [](const fs::path& folder) {
    std::error_code ec;
    for (const char* extension : SiteFiles::kMarkdownExtensions) {
      if (fs::exists(fs::path(folder).concat(extension), ec)) return false;
    }
    return true;
  };
  std::vector<Post> posts = PostsUnder(root() / "source/_posts", false, enter);
  std::vector<Post> drafts = PostsUnder(root() / "source/_drafts", true, enter);
  posts.insert(posts.end(), drafts.begin(), drafts.end());
  for (Post& post : posts) {
    std::error_code ec;
    fs::path assets = fs::path(post.file).replace_extension();
    if (fs::is_directory(assets, ec) && !fs::is_symlink(assets, ec)) post.resources = assets;
  }
  return posts;
}

std::vector<ImportSource::StaticRoot> HexoSource::StaticRoots() const {
  return {{root() / "source", "", true}};
}

int HexoSource::ReplaceOwnTags(const Post& post, const std::string& folder_link,
                               std::string* text) const {
  if (post.resources.empty()) return 0;
  int replaced = 0;
  *text = ReplaceAssetTags(*text, post.resources, folder_link, &replaced);
  return replaced;
}

ImportSource::Translated HexoSource::TranslateTags(const Post& post, const Articles& articles,
                                                   const ImportReport& report,
                                                   std::string* text) const {
  const fs::path posts_folder = root() / "source/_posts";
  auto posts = [&](const std::string& slug) -> std::pair<std::string, std::string> {
    for (const auto& [file, article] : articles) {
      fs::path relative = fs::path(file).replace_extension().lexically_relative(posts_folder);
      if (relative.generic_string() != slug && file.stem().string() != slug) continue;
      std::string source;
      FrontMatter front;
      if (ReadTextFile(file.string(), &source)) front.Read(source, "", [](const std::string&) {});
      return {article, front.GetText("title")};
    }
    return {};
  };
  auto assets = [&](const std::string& name) {
    std::error_code ec;
    return !post.resources.empty() && fs::is_regular_file(post.resources / name, ec);
  };
  HexoTagTranslator::Left left;
  int translated = HexoTagTranslator(posts, assets).Translate(text, &left);
  ReportLeftTags(post, report, left);
  return {translated, 0};
}

std::optional<Permalink::Date> HexoSource::ImpliedDate(const Post& post, const FrontMatter&,
                                                       std::string*) const {
  std::optional<Permalink::Date> date = HexoPostName::DateIn(post_name_.Fields(post.relative));
  return date;
}

std::string HexoSource::AddressOf(const Post& post, const FrontMatter& front,
                                  std::optional<Permalink::Date> date, std::string* why) const {
  if (std::string own = front.GetText("permalink"); !own.empty()) {
    return Expanded(own, std::nullopt, {}, why);
  }
  std::map<std::string, std::string> fields = post_name_.Fields(post.relative);
  if (!date) date = HexoPostName::DateIn(fields);
  std::map<std::string, std::string> values = AddressValues(front, fields["title"]);
  // :hash is made from the moment of the post, which its date tells with
  // an offset, or the site's time zone.
  std::string written = front.GetText("date");
  if (!SourceDate::HasOffset(written) && date && !time_zone().empty()) {
    written = SourceDate::Stamp(*date, time_zone());
  }
  std::time_t moment = 0;
  if (date && SourceDate::HasOffset(written) && FrontMatter::ParseDate(written, &moment)) {
    values["hash"] = HashOf(fields["title"], moment);
  }
  std::string address = Expanded(permalink_, date, values, why);
  if (address.empty() && !values.count("hash") && why->find(":hash") != std::string::npos) {
    *why += " (the post's date has no time zone, and the site's settings name none)";
  }
  return address;
}

std::string HexoSource::HashOf(const std::string& title, std::time_t moment) {
  std::string text = title + std::to_string(static_cast<long long>(moment));
  gchar* sha1 = g_compute_checksum_for_string(G_CHECKSUM_SHA1, text.c_str(),
                                              static_cast<gssize>(text.size()));
  std::string hash = std::string(sha1).substr(0, 12);
  g_free(sha1);
  return hash;
}

std::map<std::string, std::string> HexoSource::AddressValues(const FrontMatter& front,
                                                             const std::string& title) const {
  std::map<std::string, std::string> values;
  std::vector<std::string> keys;
  front.values().GetKeys("", &keys);
  for (const std::string& key : keys) values[key] = front.GetText(key);
  values["title"] = title;
  values["name"] = fs::path(title).filename().string();
  values["post_title"] = Permalink::HexoSlug(front.GetText("title"), true);
  values["category"] = CategoryOf(front);
  for (const auto& [key, value] : permalink_defaults_) values.emplace(key, value);
  return values;
}

std::map<std::string, std::vector<std::string>> HexoSource::ListsAsRead(
    const FrontMatter& front) const {
  const JsonDocument& values = front.values();
  if (values.GetType("categories") != JsonDocument::kArray) return {};
  std::vector<std::string> items;  // each a name, or a list joined as a path
  bool nested = false;
  for (int i = 0; i < values.GetCount("categories"); ++i) {
    std::string item = "categories[" + std::to_string(i) + "]";
    nested = nested || values.GetType(item) == JsonDocument::kArray;
    items.push_back(ImportText::Joined(front.GetList(item), "/"));
  }
  if (nested) return {{"categories", items}};
  if (items.size() < 2) return {};
  return {{"categories", {ImportText::Joined(items, "/")}}};
}

std::string HexoSource::CategoryOf(const FrontMatter& front) const {
  // categories: [[a, b], c] lists two: a/b and c; the last one counts.
  std::string key = front.Has("categories") ? "categories" : "category";
  const JsonDocument& values = front.values();
  int count = values.GetCount(key);
  std::string last = key + "[" + std::to_string(count - 1) + "]";
  if (values.GetType(key) == JsonDocument::kArray && count > 0 &&
      values.GetType(last) == JsonDocument::kArray) {
    key = last;
  }
  std::vector<std::string> hierarchy;
  for (const std::string& name : front.GetList(key)) {
    hierarchy.push_back(Permalink::HexoSlug(name, false));
  }
  return hierarchy.empty() ? default_category_ : ImportText::Joined(hierarchy, "/");
}

}  // namespace tarn
