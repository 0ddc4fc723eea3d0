#include "render/site_config.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "data/ini_file.h"
#include "data/language_tag.h"
#include "data/text_file.h"
#include "data/utf8.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

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

bool IsTrueSetting(const JsonDocument& doc, const std::string& path) {
  return doc.GetType(path) == JsonDocument::kBool ? doc.GetBool(path) : doc.GetText(path) == "true";
}

void Report(const DiagnosticSink& sink, const std::string& message) {
  if (sink) sink(message);
}

}  // namespace

SiteConfig::SiteConfig(std::string root) : workspace_(std::move(root)) {
  settings_.Create();
  theme_.Create();
}

bool SiteConfig::ParseFile(const std::string& path, std::string text, JsonDocument* doc,
                           const DiagnosticSink& sink) {
  // Editors on other systems like to start UTF-8 files with a byte-order mark.
  StripUtf8Bom(&text);
  JsonDocument::ParseResult result;
  if (!doc->Parse(text, {}, &result)) {
    int line = 1;
    int column = 1;
    JsonDocument::LineAndColumn(text, result.position, &line, &column);
    Report(sink, path + ":" + std::to_string(line) + ":" + std::to_string(column) +
                     ": JSON error " + std::to_string(result.code) + " (" +
                     ParseErrorName(result.code) + ")");
    doc->Create();
    return false;
  }
  if (doc->GetType("") != JsonDocument::kObject) {
    Report(sink, path + ": not a JSON object");
    doc->Create();
    return false;
  }
  return true;
}

bool SiteConfig::Load(const DiagnosticSink& sink) {
  settings_.Create();
  std::string path = workspace_.base_config();
  std::string text;
  std::string error;
  if (!ReadTextFile(path, &text, &error)) {
    Report(sink, error);
    loaded_ = false;
  } else {
    loaded_ = ParseFile(path, std::move(text), &settings_, sink);
  }
  std::string ini_path = workspace_.conf_ini();
  IniFile ini(ini_path);
  std::error_code ec;
  if (!ini.loaded() && fs::exists(ini_path, ec)) {
    // A missing file means the defaults; one that is there but cannot be
    // read (a FIFO, no permission) is worth a word.
    std::string ignored;
    ReadTextFile(ini_path, &ignored, &error);
    Report(sink, error + " (its defaults are used)");
  }
  url_prefix_ =
      ini.GetString("base", "AbsoluteUrl", "0") == "1" ? settings_.GetText("system.url") : ".";
  language_ = ReadLanguage(settings_, kLanguageKey, path, sink);
  return loaded_;
}

std::string SiteConfig::ReadLanguage(const JsonDocument& doc, std::string_view path,
                                     const std::string& file, const DiagnosticSink& sink) {
  int type = doc.GetType(path);
  if (type == JsonDocument::kMissing || type == JsonDocument::kNull) return "";
  std::string written = type == JsonDocument::kString ? doc.GetText(path) : doc.ToText(path);
  std::string tag = type == JsonDocument::kString ? LanguageTag::Checked(written) : "";
  if (tag.empty())
    Report(sink, file + ": " + std::string(path) + " \"" + written +
                     "\" is not a language tag; write one such as en, en-GB or zh-CN (it is "
                     "ignored)");
  return tag;
}

std::string SiteConfig::theme_dir() const {
  return workspace_.ThemeDir(settings_.GetText("system.theme"));
}

std::string SiteConfig::ThemeFile(std::string_view name) const {
  return Workspace::Path(theme_dir(), name);
}

void SiteConfig::LoadTheme(const DiagnosticSink& sink) {
  theme_.Create();
  std::string path = ThemeFile("_conf.json");
  std::string text;
  if (ReadTextFile(path, &text)) ParseFile(path, std::move(text), &theme_, sink);
  features_ = ReadFeatures(sink);
  page_language_ = language_;
  if (page_language_.empty()) page_language_ = ReadLanguage(theme_, "defaultLanguage", path, sink);
  if (page_language_.empty()) page_language_ = kDefaultLanguage;
}

ThemeFeatures SiteConfig::ReadFeatures(const DiagnosticSink& sink) const {
  ThemeFeatures features;
  int type = theme_.GetType("paginate");
  if (type == JsonDocument::kInteger || type == JsonDocument::kDouble ||
      type == JsonDocument::kString) {
    features.paginate = std::max(0, theme_.GetInt("paginate"));
    if (features.paginate == 0 && theme_.GetText("paginate") != "0")
      Report(sink, ThemeFile("_conf.json") + ": paginate must be a whole number of at least 1");
  }
  features.search = IsTrueSetting(theme_, "search");
  features.sitemap = IsTrueSetting(theme_, "sitemap");
  features.summary = IsTrueSetting(theme_, "summary");
  features.responsive_images = IsTrueSetting(theme_, "images.responsive");
  features.keep_image_metadata = IsTrueSetting(theme_, "images.keepMetadata");
  features.code_at_build = RendersAtBuild("code", sink);
  features.maths_at_build = RendersAtBuild("maths", sink);
  ReadFeedFeatures(&features, sink);
  std::error_code ec;
  features.tag_pages = fs::exists(ThemeFile("tag.mtpl"), ec);
  features.category_pages = fs::exists(ThemeFile("category.mtpl"), ec);
  features.taxonomies = features.tag_pages || features.category_pages ||
                        fs::exists(ThemeFile("tags.mtpl"), ec) ||
                        fs::exists(ThemeFile("categories.mtpl"), ec);
  return features;
}

void SiteConfig::ReadFeedFeatures(ThemeFeatures* features, const DiagnosticSink& sink) const {
  const std::string file = ThemeFile("_conf.json");
  const std::string content = theme_.GetText("feed.content");
  features->feed_full = content == "full";
  if (!content.empty() && content != "full" && content != "summary")
    Report(sink,
           file + ": feed.content must be \"full\" or \"summary\"; the feeds carry summaries");
  features->tag_feeds = IsTrueSetting(theme_, "tagFeeds");
  if (theme_.GetType("feeds") != JsonDocument::kArray) return;
  features->feed_rss = false;
  for (int i = 0, n = theme_.GetCount("feeds"); i < n; ++i) {
    const std::string kind = theme_.GetText("feeds[" + std::to_string(i) + "]");
    if (kind == "rss") {
      features->feed_rss = true;
    } else if (kind == "atom") {
      features->feed_atom = true;
    } else if (kind == "json") {
      features->feed_json = true;
    } else {
      Report(sink, file + ": feeds has \"" + kind +
                       "\", which is no feed; write \"rss\", \"atom\" or \"json\"");
    }
  }
}

bool SiteConfig::RendersAtBuild(const std::string& name, const DiagnosticSink& sink) const {
  const std::string path = "render." + name;
  int type = theme_.GetType(path);
  if (type == JsonDocument::kMissing || type == JsonDocument::kNull) return false;
  const std::string value = theme_.GetText(path);
  if (value == "build") return true;
  if (value != "browser")
    Report(sink, ThemeFile("_conf.json") + ": " + path +
                     " must be \"build\" or \"browser\"; it is rendered in the browser");
  return false;
}

}  // namespace tarn
