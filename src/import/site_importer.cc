#include "import/site_importer.h"

#include <yaml-cpp/yaml.h>

#include <toml++/toml.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <system_error>

#include "content/front_matter.h"
#include "content/front_matter_editor.h"
#include "data/json_document.h"
#include "data/text_file.h"
#include "import/post_links.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// Posts and configuration files larger than this are not read.
constexpr std::uintmax_t kMaxPostBytes = 16u << 20;
constexpr std::uintmax_t kMaxConfigBytes = 1u << 20;

constexpr const char* kMarkdownExtensions[] = {".md", ".markdown", ".mdown", ".mkd", ".mkdn"};
// Content a generator renders that tarn does not.
constexpr const char* kOtherContentExtensions[] = {
    ".html", ".htm", ".org", ".adoc", ".asciidoc", ".rst", ".pandoc", ".textile", ".pdc"};

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool HasExtension(const fs::path& path, const auto& extensions) {
  std::string extension = Lowered(path.extension().string());
  return std::any_of(std::begin(extensions), std::end(extensions),
                     [&](const char* e) { return extension == e; });
}

bool IsMarkdown(const fs::path& path) { return HasExtension(path, kMarkdownExtensions); }

// path relative to base when it lies inside base (no ".." step), else "".
std::string Inside(const fs::path& path, const fs::path& base) {
  fs::path relative = path.lexically_normal().lexically_relative(base.lexically_normal());
  if (relative.empty() || *relative.begin() == "..") return "";
  return relative.generic_string();
}

// The YAML tree of TOML: tables and arrays as maps and sequences, every
// other value as the text TOML writes for it (dates as 2019-03-05T10:00:00Z).
YAML::Node TomlToYaml(const toml::node& node) {
  if (const toml::table* table = node.as_table()) {
    YAML::Node map(YAML::NodeType::Map);
    for (const auto& [key, value] : *table) map[std::string(key.str())] = TomlToYaml(value);
    return map;
  }
  if (const toml::array* array = node.as_array()) {
    YAML::Node sequence(YAML::NodeType::Sequence);
    for (const toml::node& item : *array) sequence.push_back(TomlToYaml(item));
    return sequence;
  }
  if (auto text = node.value_exact<std::string>()) return YAML::Node(*text);
  std::ostringstream out;
  node.visit([&out](const auto& value) { out << value; });
  return YAML::Node(out.str());
}

// A YAML, TOML or JSON file (JSON read as the YAML it is). Returns false,
// setting *error, when it is missing, too large or does not parse.
bool LoadConfig(const fs::path& path, YAML::Node* root, std::string* error) {
  std::error_code ec;
  std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxConfigBytes) {
    *error = path.string() + (ec ? ": cannot read" : ": too large to read");
    return false;
  }
  std::string text;
  if (!ReadTextFile(path.string(), &text, error)) return false;
  try {
    if (path.extension() == ".toml") {
      *root = TomlToYaml(toml::parse(text));
    } else {
      *root = YAML::Load(text);
    }
  } catch (const toml::parse_error& e) {
    *error = path.string() + ":" + std::to_string(e.source().begin.line) + ": " +
             std::string(e.description());
    return false;
  } catch (const YAML::Exception& e) {
    *error = path.string() + ":" + std::to_string(e.mark.line + 1) + ": " + e.msg;
    return false;
  }
  return true;
}

// map[key], keys compared without case (Hugo's are case-insensitive).
YAML::Node Child(const YAML::Node& map, const std::string& key) {
  if (!map.IsMap()) return YAML::Node();
  std::string wanted = Lowered(key);
  for (const auto& entry : map) {
    if (entry.first.IsScalar() && Lowered(entry.first.Scalar()) == wanted) return entry.second;
  }
  return YAML::Node();
}

std::string Text(const YAML::Node& node) { return node.IsScalar() ? node.Scalar() : ""; }

bool Flag(const YAML::Node& node, bool fallback) {
  if (!node.IsScalar()) return fallback;
  std::string value = Lowered(node.Scalar());
  if (value == "true" || value == "yes" || value == "on") return true;
  if (value == "false" || value == "no" || value == "off") return false;
  return fallback;
}

// A list of texts; a single text is a list of one.
std::vector<std::string> Texts(const YAML::Node& node) {
  std::vector<std::string> out;
  if (node.IsScalar()) out.push_back(node.Scalar());
  if (node.IsSequence()) {
    for (const auto& item : node) {
      if (item.IsScalar()) out.push_back(item.Scalar());
    }
  }
  return out;
}

bool IsDraft(const FrontMatter& front) {
  bool draft = false;
  bool published = true;
  front.GetFlag("draft", &draft);
  front.GetFlag("published", &published);
  return draft || !published;
}

// The date at key as written, when there is one that reads.
std::optional<Permalink::Date> DateAt(const FrontMatter& front, const char* key) {
  Permalink::Date date;
  if (!Permalink::ParseDate(front.GetText(key), &date)) return std::nullopt;
  return date;
}

std::string Expanded(const std::string& pattern, std::optional<Permalink::Date> date,
                     const std::map<std::string, std::string>& values, std::string* why) {
  std::string address = Permalink::Expand(pattern, date ? &*date : nullptr, values, why);
  Permalink::Date any{2000, 1, 1};
  if (address.empty() && !date && !Permalink::Expand(pattern, &any, values, nullptr).empty()) {
    *why += " (the post has no date the old site's address was made from)";
  }
  return address;
}

std::string Joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? separator : "") + parts[i];
  return out;
}

std::string DateText(const Permalink::Date& date) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
  return buffer;
}

// Hexo's reading of a post's path under _posts by its new_post_name
// pattern (":title.md", ":year-:month-:day-:title.md"): the pattern's
// fields, "title" always among them.
std::map<std::string, std::string> ParseHexoName(const std::string& pattern,
                                                 const std::string& relative) {
  std::string rule = fs::path(pattern).replace_extension().string();
  std::string expression = "^";
  std::vector<std::string> names;
  static const std::map<std::string, std::string> kSegments = {
      {"year", "(\\d{4})"},      {"month", "(\\d{2})"},   {"day", "(\\d{2})"},
      {"i_month", "(\\d{1,2})"}, {"i_day", "(\\d{1,2})"}, {"hash", "([0-9a-f]{12})"}};
  for (size_t i = 0; i < rule.size();) {
    if (rule[i] == ':' && i + 1 < rule.size() &&
        (std::isalnum(static_cast<unsigned char>(rule[i + 1])) || rule[i + 1] == '_')) {
      size_t end = i + 1;
      while (end < rule.size() &&
             (std::isalnum(static_cast<unsigned char>(rule[end])) || rule[end] == '_')) {
        ++end;
      }
      std::string name = rule.substr(i + 1, end - i - 1);
      auto segment = kSegments.find(name);
      expression += segment != kSegments.end() ? segment->second : "(.+?)";
      names.push_back(name);
      i = end;
    } else {
      if (std::string("\\^$.|?*+()[]{}").find(rule[i]) != std::string::npos) expression += '\\';
      expression += rule[i++];
    }
  }
  std::map<std::string, std::string> fields;
  std::smatch match;
  if (std::regex_match(relative, match, std::regex(expression + "$"))) {
    for (size_t i = 0; i < names.size(); ++i) fields[names[i]] = match[i + 1].str();
  }
  if (!fields.count("title")) fields["title"] = Permalink::HexoSlug(relative, false);
  return fields;
}

// A Jekyll post name: "YYYY-MM-DD-slug".
bool SplitJekyllName(const std::string& name, Permalink::Date* date, std::string* slug) {
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

std::string JekyllPattern(const std::string& setting) {
  if (setting == "date") return "/:categories/:year/:month/:day/:title:output_ext";
  if (setting == "pretty") return "/:categories/:year/:month/:day/:title/";
  if (setting == "ordinal") return "/:categories/:year/:y_day/:title:output_ext";
  if (setting == "weekdate") return "/:categories/:year/W:week/:short_day/:title:output_ext";
  if (setting == "none") return "/:categories/:title:output_ext";
  return setting;
}

// Version-control folders and desktop litter, never copied.
bool IsLitter(const std::string& name) {
  return name == ".git" || name == ".svn" || name == ".hg" || name == ".DS_Store" ||
         name == "Thumbs.db";
}

// The regular files under root, in name order. Folders are entered when
// enter(folder) says so; symbolic links are handed to on_link and not
// followed; litter is left out.
std::vector<fs::path> FilesUnder(const fs::path& root,
                                 const std::function<bool(const fs::path&)>& enter,
                                 const std::function<void(const fs::path&)>& on_link) {
  std::vector<fs::path> files;
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    std::string name = entry.path().filename().string();
    std::error_code status_ec;
    if (entry.is_symlink(status_ec)) {
      on_link(entry.path());
      continue;
    }
    if (entry.is_directory(status_ec)) {
      if (IsLitter(name) || !enter(entry.path())) it.disable_recursion_pending();
      continue;
    }
    if (entry.is_regular_file(status_ec) && !IsLitter(name)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Hexo's asset tags, {% asset_img NAME [title] %}, {% asset_path NAME %} and
// {% asset_link NAME [title] %}, for files of the post's asset folder,
// become the Markdown image, address and link they stand for.
std::string ReplaceHexoAssetTags(const std::string& text, const fs::path& assets,
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
    std::error_code ec;
    size_t at = 0;
    while (at < args.size() && !fs::is_regular_file(assets / args[at], ec)) ++at;
    if (at == args.size()) continue;
    std::string url = folder_link + PostLinks::Encode(args[at]);
    std::vector<std::string> rest(args.begin() + static_cast<long>(at) + 1, args.end());
    while (tag == "asset_img" && !rest.empty() &&
           std::all_of(rest[0].begin(), rest[0].end(), [](char c) { return std::isdigit(c); })) {
      rest.erase(rest.begin());  // width and height
    }
    std::string title = Joined(rest, " ");
    if (title.size() >= 2 && (title[0] == '"' || title[0] == '\'') && title.back() == title[0]) {
      title = title.substr(1, title.size() - 2);
    }
    std::string replacement = tag == "asset_path" ? url
                              : tag == "asset_img"
                                  ? "![" + title + "](" + url + ")"
                                  : "[" + (title.empty() ? args[at] : title) + "](" + url + ")";
    out.append(text, copied, open - copied);
    out += replacement;
    copied = close + 2;
    ++*replaced;
  }
  out.append(text, copied);
  return out;
}

}  // namespace

struct SiteImporter::Settings {
  std::string permalink;  // the pattern; "" when not known
  // Hexo
  std::string new_post_name = ":title.md";
  std::string default_category = "uncategorized";
  bool post_asset_folder = false;
  std::map<std::string, std::string> permalink_defaults;
  // Hugo
  std::map<std::string, std::string> section_permalinks;
  bool ugly_urls = false;
  bool lower_paths = true;
  fs::path content;
};

SiteImporter::SiteImporter(fs::path source, fs::path workspace, ReportSink sink)
    : source_(std::move(source)), workspace_(std::move(workspace)), sink_(std::move(sink)) {}

SiteImporter::Generator SiteImporter::Detect(const fs::path& folder) {
  std::error_code ec;
  auto is_dir = [&](const char* name) { return fs::is_directory(folder / name, ec); };
  auto is_file = [&](const std::string& name) { return fs::is_regular_file(folder / name, ec); };
  if (is_dir("source/_posts") || is_dir("source/_drafts")) return Generator::kHexo;
  for (const char* base : {"hugo", "config"}) {
    for (const char* extension : {".toml", ".yaml", ".yml", ".json"}) {
      if (is_file(std::string(base) + extension) && (is_dir("content") || base[0] == 'h')) {
        return Generator::kHugo;
      }
    }
  }
  if (is_dir("config/_default") && is_dir("content")) return Generator::kHugo;
  if (is_dir("_posts") || (is_file("_config.yml") && is_dir("_drafts"))) return Generator::kJekyll;
  return Generator::kUnknown;
}

void SiteImporter::Report(Entry::Kind kind, std::string text) {
  if (sink_) sink_(Entry{kind, std::move(text)});
}

std::string SiteImporter::Shown(const fs::path& path) const {
  std::string inside = Inside(path, source_);
  return inside.empty() ? path.string() : inside;
}

int SiteImporter::Run() {
  std::error_code ec;
  if (!fs::is_directory(source_, ec)) {
    Report(Entry::Kind::kError, source_.string() + ": no such folder");
    return -1;
  }
  if (!fs::is_directory(workspace_, ec)) {
    Report(Entry::Kind::kError, workspace_.string() + ": no such workspace folder");
    return -1;
  }
  source_ = fs::canonical(source_, ec);
  workspace_ = fs::canonical(workspace_, ec);
  generator_ = Detect(source_);
  static const char* kNames[] = {"", "Hexo", "Hugo", "Jekyll"};
  if (generator_ == Generator::kUnknown) {
    Report(Entry::Kind::kError,
           source_.string() +
               ": not a Hexo, Hugo or Jekyll site (no source/_posts, no content/ beside a "
               "hugo or config file, no _posts)");
    return -1;
  }
  Report(Entry::Kind::kNote, "importing the " + std::string(kNames[static_cast<int>(generator_)]) +
                                 " site " + source_.string());
  ReadSettings();
  CollectPosts();
  int count = 0;
  if (!posts_.empty()) fs::create_directories(workspace_ / "_posts", ec);
  for (const SourcePost& post : posts_) count += ImportPost(post);
  for (const StaticRoot& root : static_roots_) count += CopyStatic(root);
  for (const fs::path& file : loose_files_) {
    if (fs::is_regular_file(fs::symlink_status(file, ec))) {
      count += CopyFile(file, workspace_ / "static" / file.filename());
    }
  }
  return count;
}

bool SiteImporter::LoadSettings(const fs::path& file, YAML::Node* config) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return true;  // the defaults apply
  std::string error;
  if (LoadConfig(file, config, &error)) return true;
  Report(Entry::Kind::kNote, error + "; old addresses cannot be told");
  return false;
}

std::string SiteImporter::PermalinkSetting(const YAML::Node& config, const std::string& fallback) {
  std::string pattern = Text(Child(config, "permalink"));
  if (!pattern.empty()) {
    Report(Entry::Kind::kNote, "old addresses follow the permalink setting " + pattern);
    return pattern;
  }
  Report(Entry::Kind::kNote, "no permalink setting: old addresses follow the default " + fallback);
  return fallback;
}

void SiteImporter::ReadSettings() {
  settings_ = std::make_shared<Settings>();
  Settings& s = *settings_;
  if (generator_ == Generator::kHugo) {
    ReadHugoSettings();
    return;
  }
  YAML::Node config;
  bool readable = LoadSettings(source_ / "_config.yml", &config);
  if (generator_ == Generator::kJekyll) {
    if (readable) s.permalink = JekyllPattern(PermalinkSetting(config, "date"));
    static_roots_.push_back({source_ / "assets", "assets/", false});
    static_roots_.push_back({source_ / "images", "images/", false});
    for (const char* name : {"CNAME", "favicon.ico", "robots.txt"}) {
      loose_files_.push_back(source_ / name);
    }
    return;
  }
  if (readable) s.permalink = PermalinkSetting(config, ":year/:month/:day/:title/");
  if (std::string name = Text(Child(config, "new_post_name")); !name.empty()) {
    s.new_post_name = name;
  }
  if (std::string category = Text(Child(config, "default_category")); !category.empty()) {
    s.default_category = category;
  }
  YAML::Node defaults = Child(config, "permalink_defaults");
  if (defaults.IsMap()) {
    for (const auto& entry : defaults) {
      if (entry.first.IsScalar() && entry.second.IsScalar()) {
        s.permalink_defaults[entry.first.Scalar()] = entry.second.Scalar();
      }
    }
  }
  static_roots_.push_back({source_ / "source", "", true});
}

void SiteImporter::ReadHugoSettings() {
  Settings& s = *settings_;
  // The first configuration file Hugo would read, then permalinks of their own.
  YAML::Node config;
  bool readable = true;
  bool found = false;
  for (const fs::path& folder : {source_, source_ / "config/_default"}) {
    for (const char* base : {"hugo", "config"}) {
      for (const char* extension : {".toml", ".yaml", ".yml", ".json"}) {
        fs::path file = folder / (std::string(base) + extension);
        if (!found && fs::exists(file)) {
          found = true;
          readable = LoadSettings(file, &config);
        }
      }
    }
  }
  YAML::Node permalinks = Child(config, "permalinks");
  for (const char* extension : {".toml", ".yaml", ".yml", ".json"}) {
    fs::path file = source_ / "config/_default" / (std::string("permalinks") + extension);
    YAML::Node own;
    if (fs::exists(file)) readable = LoadSettings(file, &own) && readable;
    if (own.IsMap()) permalinks = own;
  }
  if (Child(permalinks, "page").IsMap()) permalinks = Child(permalinks, "page");
  if (permalinks.IsMap()) {
    for (const auto& entry : permalinks) {
      if (entry.first.IsScalar() && entry.second.IsScalar()) {
        s.section_permalinks[Lowered(entry.first.Scalar())] = entry.second.Scalar();
      }
    }
  }
  s.ugly_urls = Flag(Child(config, "uglyURLs"), false);
  s.lower_paths = !Flag(Child(config, "disablePathToLower"), false);
  std::string content = Text(Child(config, "contentDir"));
  s.content = source_ / (content.empty() ? "content" : content);
  std::vector<std::string> statics = Texts(Child(config, "staticDir"));
  if (statics.empty()) statics.push_back("static");
  for (const std::string& folder : statics) static_roots_.push_back({source_ / folder, "", false});
  if (!readable) return;
  s.permalink = "by section";
  if (s.section_permalinks.empty()) {
    Report(Entry::Kind::kNote,
           "no permalinks setting: old addresses follow Hugo's default /SECTION/NAME/");
  }
  for (const auto& [section, pattern] : s.section_permalinks) {
    Report(Entry::Kind::kNote, "old addresses in " + section + " follow " + pattern);
  }
}

void SiteImporter::CollectPosts() {
  auto on_link = [this](const fs::path& link) {
    Report(Entry::Kind::kSkipped, Shown(link) + ": a symbolic link, not followed");
  };
  auto other_content = [this](const fs::path& file) {
    if (HasExtension(file, kOtherContentExtensions)) {
      Report(Entry::Kind::kSkipped, Shown(file) + ": not Markdown");
    }
  };
  auto add = [this](const fs::path& file, const fs::path& root, bool drafts) {
    SourcePost post;
    post.file = file;
    post.name = file.stem().string();
    post.relative = Inside(fs::path(file).replace_extension(), root);
    post.draft = drafts;
    std::error_code ec;
    fs::path assets = fs::path(file).replace_extension();
    if (generator_ == Generator::kHexo && fs::is_directory(assets, ec) &&
        !fs::is_symlink(assets, ec)) {
      post.resources = assets;
    }
    posts_.push_back(post);
  };

  if (generator_ == Generator::kHexo || generator_ == Generator::kJekyll) {
    bool hexo = generator_ == Generator::kHexo;
    for (bool drafts : {false, true}) {
      fs::path root = source_ / (hexo ? "source" : "") / (drafts ? "_drafts" : "_posts");
      // A Hexo folder beside a post of the same name is that post's assets.
      auto enter = [hexo](const fs::path& folder) {
        std::error_code ec;
        if (!hexo) return true;
        for (const char* extension : kMarkdownExtensions) {
          if (fs::exists(fs::path(folder).concat(extension), ec)) return false;
        }
        return true;
      };
      for (const fs::path& file : FilesUnder(root, enter, on_link)) {
        if (file.filename().string()[0] == '.') continue;
        if (IsMarkdown(file)) {
          add(file, root, drafts);
        } else {
          other_content(file);
        }
      }
    }
    return;
  }

  const fs::path& content = settings_->content;
  bool any = false;
  for (const char* section : {"posts", "post"}) {
    fs::path root = content / section;
    std::error_code ec;
    if (!fs::is_directory(root, ec)) continue;
    any = true;
    auto enter = [&](const fs::path& folder) {
      for (const char* extension : kMarkdownExtensions) {
        fs::path index = folder / (std::string("index") + extension);
        if (fs::is_regular_file(index, ec) && !fs::is_symlink(index, ec)) {
          SourcePost post;
          post.file = index;
          post.resources = folder;
          post.name = folder.filename().string();
          post.relative = Inside(folder.parent_path(), content);
          posts_.push_back(post);
          return false;
        }
      }
      return true;
    };
    for (const fs::path& file : FilesUnder(root, enter, on_link)) {
      std::string name = file.filename().string();
      if (name[0] == '.') continue;
      if (name.rfind("_index.", 0) == 0) {
        Report(Entry::Kind::kSkipped, Shown(file) + ": a section's list page, not a post");
      } else if (IsMarkdown(file)) {
        add(file, content, false);
        posts_.back().relative = Inside(file.parent_path(), content);
      } else {
        other_content(file);
      }
    }
  }
  if (!any) {
    Report(Entry::Kind::kNote,
           "no posts: " + Shown(content) +
               " has no posts or post folder (other sections are not imported)");
  }
  std::sort(posts_.begin(), posts_.end(),
            [](const SourcePost& a, const SourcePost& b) { return a.file < b.file; });
}

std::string SiteImporter::OldAddress(const SourcePost& post, const FrontMatter& front,
                                     std::string* why,
                                     std::optional<Permalink::Date>* date_from_name) const {
  std::optional<Permalink::Date> date = DateAt(front, "date");
  std::string jekyll_slug;
  Permalink::Date name_date;
  bool dated_name =
      generator_ == Generator::kJekyll && SplitJekyllName(post.name, &name_date, &jekyll_slug);
  if (dated_name && front.GetText("date").empty()) *date_from_name = date = name_date;
  if (post.draft || IsDraft(front)) {
    *why = "a draft";
    return "";
  }
  if (settings_->permalink.empty()) {
    *why = "the site's configuration cannot be read";
    return "";
  }
  if (generator_ == Generator::kHexo) return HexoAddress(post, front, date, why);
  if (generator_ == Generator::kHugo) return HugoAddress(post, front, date, why);
  if (!dated_name) {
    *why = "its name does not start with a date, so Jekyll did not publish it";
    return "";
  }
  // Jekyll
  std::string own = front.GetText("permalink");
  std::string pattern = own.empty() ? settings_->permalink : JekyllPattern(own);
  std::string slug = front.GetText("slug");
  if (slug.empty()) slug = jekyll_slug;
  std::vector<std::string> categories;
  for (const char* key : {"category", "categories"}) {
    for (const std::string& text : front.GetList(key)) {
      std::istringstream words(text);
      for (std::string word; words >> word;) {
        word = Lowered(word);
        if (std::find(categories.begin(), categories.end(), word) == categories.end()) {
          categories.push_back(word);
        }
      }
    }
  }
  std::map<std::string, std::string> values = {{"title", Permalink::JekyllSlug(slug, true, true)},
                                               {"slug", Permalink::JekyllSlug(slug, false, false)},
                                               {"categories", Joined(categories, "/")},
                                               {"output_ext", ".html"}};
  return Expanded(pattern, date, values, why);
}

std::string SiteImporter::HexoAddress(const SourcePost& post, const FrontMatter& front,
                                      std::optional<Permalink::Date> date, std::string* why) const {
  const Settings& s = *settings_;
  if (std::string own = front.GetText("permalink"); !own.empty()) {
    return Expanded(own, std::nullopt, {}, why);
  }
  std::map<std::string, std::string> info = ParseHexoName(s.new_post_name, post.relative);
  if (!date && info.count("year") && (info.count("month") || info.count("i_month")) &&
      (info.count("day") || info.count("i_day"))) {
    Permalink::Date parsed;
    std::string text = info["year"] + "-" +
                       (info.count("month") ? info["month"] : info["i_month"]) + "-" +
                       (info.count("day") ? info["day"] : info["i_day"]);
    if (Permalink::ParseDate(text, &parsed)) date = parsed;
  }
  // Any front matter key may appear in a Hexo pattern; Hexo's own come first.
  std::map<std::string, std::string> values;
  std::vector<std::string> keys;
  front.values().GetKeys("", &keys);
  for (const std::string& key : keys) values[key] = front.GetText(key);
  values["title"] = info["title"];
  values["name"] = fs::path(info["title"]).filename().string();
  values["post_title"] = Permalink::HexoSlug(front.GetText("title"), true);
  // :category is the post's last category with its parents: "a/b".
  std::string categories = front.Has("categories") ? "categories" : "category";
  int count = front.values().GetCount(categories);
  if (front.values().GetType(categories) == JsonDocument::kArray && count > 0 &&
      front.values().GetType(categories + "[" + std::to_string(count - 1) + "]") ==
          JsonDocument::kArray) {
    categories += "[" + std::to_string(count - 1) + "]";
  }
  std::vector<std::string> hierarchy;
  for (const std::string& name : front.GetList(categories)) {
    hierarchy.push_back(Permalink::HexoSlug(name, false));
  }
  values["category"] = hierarchy.empty() ? s.default_category : Joined(hierarchy, "/");
  for (const auto& [key, value] : s.permalink_defaults) values.emplace(key, value);
  return Expanded(s.permalink, date, values, why);
}

std::string SiteImporter::HugoAddress(const SourcePost& post, const FrontMatter& front,
                                      std::optional<Permalink::Date> date, std::string* why) const {
  const Settings& s = *settings_;
  if (std::string own = front.GetText("url"); !own.empty()) {
    return Expanded(own, std::nullopt, {}, why);
  }
  for (const char* key : {"publishDate", "publishdate", "pubdate"}) {
    if (!date) date = DateAt(front, key);
  }
  bool lower = s.lower_paths;
  std::string slug = front.GetText("slug");
  std::string section = post.relative.substr(0, post.relative.find('/'));
  std::map<std::string, std::string> values;
  values["title"] = Permalink::HugoSlug(front.GetText("title"), lower);
  values["filename"] = values["contentbasename"] = Permalink::HugoSlug(post.name, lower);
  values["slug"] = slug.empty() ? values["title"] : Permalink::HugoSlug(slug, lower);
  values["slugorfilename"] = values["slugorcontentbasename"] =
      slug.empty() ? values["filename"] : values["slug"];
  values["section"] = Permalink::HugoSlug(section, lower);
  values["sections"] = Permalink::HugoSlug(post.relative, lower);
  auto found = s.section_permalinks.find(Lowered(section));
  std::string pattern =
      found != s.section_permalinks.end() ? found->second : "/:sections/:slugorfilename/";
  std::string address = Expanded(pattern, date, values, why);
  if (s.ugly_urls && address.size() > 1 && address.back() == '/') {
    address.back() = '.';
    address += "html";
  }
  return address;
}

fs::path SiteImporter::Resolve(const SourcePost& post, const std::string& link) const {
  std::vector<fs::path> bases;
  if (!post.resources.empty()) bases.push_back(post.resources);
  bases.push_back(post.file.parent_path());
  for (const fs::path& base : bases) {
    fs::path candidate = (base / link).lexically_normal();
    std::error_code ec;
    if (Inside(candidate, source_).empty() ||
        !fs::is_regular_file(fs::symlink_status(candidate, ec))) {
      continue;
    }
    // No symbolic link on the way either.
    if (fs::canonical(candidate, ec) == candidate && !ec) return candidate;
  }
  return {};
}

std::string SiteImporter::StaticPath(const fs::path& file) const {
  for (const StaticRoot& root : static_roots_) {
    std::string inside = Inside(file, root.folder);
    if (!inside.empty() && Copies(root, inside)) return root.prefix + inside;
  }
  return "";
}

bool SiteImporter::Copies(const StaticRoot& root, const std::string& relative) const {
  if (!root.hexo_rules) return true;
  // Hexo leaves out names starting with "_" or "." and renders Markdown.
  for (const fs::path& part : fs::path(relative)) {
    char first = part.string().empty() ? '\0' : part.string()[0];
    if (first == '_' || first == '.') return false;
  }
  return true;
}

int SiteImporter::MoveOwnFiles(const SourcePost& post, std::string* text_in_out,
                               std::map<fs::path, std::string>* copies) {
  std::string& text = *text_in_out;
  // The post's own files go to static/images/NAME/, and its relative links
  // are pointed at them (or at the file's place among the static files).
  const std::string own = "images/" + post.name + "/";
  const std::string own_link = "../images/" + PostLinks::Encode(post.name) + "/";
  if (!post.resources.empty()) {
    auto enter = [](const fs::path&) { return true; };
    auto on_link = [this](const fs::path& link) {
      Report(Entry::Kind::kSkipped, Shown(link) + ": a symbolic link, not followed");
    };
    for (const fs::path& file : FilesUnder(post.resources, enter, on_link)) {
      if (file != post.file) (*copies)[file] = own + Inside(file, post.resources);
    }
  }
  int rewritten = 0;
  if (generator_ == Generator::kHexo && !post.resources.empty()) {
    text = ReplaceHexoAssetTags(text, post.resources, own_link, &rewritten);
  }
  std::vector<PostLinks::Link> links = PostLinks::FindRelative(text);
  std::vector<std::string> destinations(links.size());
  const fs::path base = post.resources.empty() ? post.file.parent_path() : post.resources;
  for (size_t i = 0; i < links.size(); ++i) {
    fs::path file = Resolve(post, links[i].path);
    if (file.empty()) continue;
    std::string where;
    if (auto known = copies->find(file); known != copies->end()) where = known->second;
    if (where.empty()) where = StaticPath(file);
    if (where.empty()) {
      std::string inside = Inside(file, base);
      where = (*copies)[file] = own + (inside.empty() ? file.filename().string() : inside);
    }
    destinations[i] = "../" + PostLinks::Encode(where) + links[i].suffix;
    if (text.compare(links[i].begin, links[i].end - links[i].begin, destinations[i]) == 0) {
      destinations[i].clear();  // already right
    } else {
      ++rewritten;
    }
  }
  text = PostLinks::Rewrite(text, links, destinations);
  return rewritten;
}

int SiteImporter::ImportPost(const SourcePost& post) {
  const std::string shown = Shown(post.file);
  const std::string target_name = "_posts/" + post.name + ".md";
  const fs::path target = workspace_ / target_name;
  std::error_code ec;
  if (fs::exists(fs::symlink_status(target, ec))) {
    Report(Entry::Kind::kSkipped, shown + ": " + target_name + " exists");
    return 0;
  }
  if (fs::file_size(post.file, ec) > kMaxPostBytes) {
    Report(Entry::Kind::kSkipped, shown + ": larger than 16 MB");
    return 0;
  }
  std::string text;
  std::string error;
  if (!ReadTextFile(post.file.string(), &text, &error)) {
    Report(Entry::Kind::kError, error);
    return 0;
  }
  FrontMatter front;
  front.Read(text, shown,
             [this](const std::string& message) { Report(Entry::Kind::kNote, message); });

  std::map<fs::path, std::string> copies;
  int rewritten = MoveOwnFiles(post, &text, &copies);

  std::string why;
  std::optional<Permalink::Date> name_date;
  std::string address = OldAddress(post, front, &why, &name_date);
  FrontMatterEditor editor(text);
  if (post.draft) editor.AddScalarIfMissing("draft", "true");
  if (name_date) editor.AddScalarIfMissing("date", DateText(*name_date));
  if (!address.empty()) editor.AddToList("aliases", {address});
  std::string out;
  if (!editor.Apply(&out, &error)) {
    if (post.draft) {
      Report(Entry::Kind::kSkipped, shown + ": cannot be marked as a draft: " + error);
      return 0;
    }
    Report(Entry::Kind::kNote, shown + ": " + error + "; imported without old address or date");
    out = text;
    address.clear();
    name_date.reset();
  } else if (address.empty() && why != "a draft") {
    Report(Entry::Kind::kNote, shown + ": old address unknown: " + why);
  }
  if (!CreateTextFile(target.string(), out, &error)) {
    Report(fs::exists(target, ec) ? Entry::Kind::kSkipped : Entry::Kind::kError, error);
    return 0;
  }
  std::string details;
  if (post.draft) details += ", a draft";
  if (name_date) details += ", dated " + DateText(*name_date) + " by its name";
  if (!address.empty()) details += ", old address " + address;
  if (rewritten) details += ", " + std::to_string(rewritten) + " link(s) rewritten";
  Report(Entry::Kind::kCopied,
         shown + " -> " + target_name + (details.empty() ? "" : " (" + details.substr(2) + ")"));
  int count = 1;
  for (const auto& [from, where] : copies) count += CopyFile(from, workspace_ / "static" / where);
  return count;
}

int SiteImporter::CopyStatic(const StaticRoot& root) {
  std::error_code ec;
  if (!fs::is_directory(root.folder, ec)) return 0;
  auto enter = [this, &root](const fs::path& folder) {
    std::error_code equivalent_ec;
    if (fs::equivalent(folder, workspace_, equivalent_ec)) return false;
    return Copies(root, Inside(folder, root.folder));
  };
  auto on_link = [this](const fs::path& link) {
    Report(Entry::Kind::kSkipped, Shown(link) + ": a symbolic link, not followed");
  };
  int count = 0;
  for (const fs::path& file : FilesUnder(root.folder, enter, on_link)) {
    std::string relative = Inside(file, root.folder);
    if (!Copies(root, relative)) continue;
    if (root.hexo_rules && IsMarkdown(file)) {
      Report(Entry::Kind::kSkipped,
             Shown(file) + ": a page in Markdown (pages come from the theme's templates)");
      continue;
    }
    count += CopyFile(file, workspace_ / "static" / (root.prefix + relative));
  }
  return count;
}

bool SiteImporter::CopyFile(const fs::path& from, const fs::path& to) {
  const std::string shown = Shown(from);
  const std::string target_name = Inside(to, workspace_);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) {
    std::string old_bytes, new_bytes;
    bool same = ReadTextFile(to.string(), &old_bytes) && ReadTextFile(from.string(), &new_bytes) &&
                old_bytes == new_bytes;
    Report(Entry::Kind::kSkipped,
           shown + ": " + target_name + " exists" + (same ? " (with the same content)" : ""));
    return false;
  }
  // A folder of the workspace that is a link to elsewhere is not written
  // through, nor created in.
  fs::path folder = fs::weakly_canonical(to.parent_path(), ec);
  if (ec || Inside(folder, workspace_).empty()) {
    Report(Entry::Kind::kSkipped, shown + ": " + target_name + " would be outside the workspace");
    return false;
  }
  fs::create_directories(folder, ec);
  std::string bytes;
  std::string error;
  if (!ReadTextFile(from.string(), &bytes, &error) || !CreateTextFile(to.string(), bytes, &error)) {
    Report(fs::exists(to, ec) ? Entry::Kind::kSkipped : Entry::Kind::kError, error);
    return false;
  }
  Report(Entry::Kind::kCopied, shown + " -> " + target_name);
  return true;
}

}  // namespace tarn
