// SiteConfig: a blog's settings, as the build and everything around it
// reads them: config/base.json (the site data's start, kept as written),
// AbsoluteUrl from config/conf.ini (what links start with), and the theme's
// _conf.json with what the theme asks the build for.
//
// base.json and conf.ini are read by Load, once per run of the program;
// the theme's _conf.json by LoadTheme, once per build. Deploying, backing
// up and the desktop program ask here for a setting (system.deployUrl,
// system.sourceUrl) without scanning a single post.
//
// A file that cannot be read or parsed is reported with its path (and line
// and column) and read as an empty object.
//
// The blog's language is system.language, a BCP 47 tag; a theme says in
// which language it speaks to a blog without one ("defaultLanguage" in
// _conf.json). A tag that is not one is reported and ignored.
//
// Thread safety: none; load on one thread, then read from any.
#pragma once

#include <string>
#include <string_view>

#include "data/diagnostics.h"
#include "data/json_document.h"
#include "workspace/workspace.h"

namespace tarn {

// What a theme asks the build for beyond its three pages, all off for a
// theme that asks for none of it.
struct ThemeFeatures {
  int paginate = 0;             // "paginate": N posts per index page
  bool search = false;          // "search": true (search.json, search.js)
  bool sitemap = false;         // "sitemap": true, asked for alone
  bool summary = false;         // "summary": true: excerpts without a marker
  bool tag_pages = false;       // the theme has tag.mtpl
  bool category_pages = false;  // the theme has category.mtpl
  bool taxonomies = false;      // any of tag, tags, category, categories.mtpl
  // "render": {"code": "build", "maths": "build"}: fenced code highlighted
  // and formulas typeset while converting, not in the reader's browser.
  bool code_at_build = false;
  bool maths_at_build = false;
  // "feed": {"content": "full"}: each post's whole HTML in the feeds, not
  // only its description.
  bool feed_full = false;
  // "feeds": ["rss", "atom", "json"]: the feeds the pages link to. atom.xml
  // (RSS 2.0) is always written; feed.atom and feed.json only when named.
  bool feed_rss = true;
  bool feed_atom = false;
  bool feed_json = false;
  // "tagFeeds": true: the site's feeds once more for each tag and category,
  // beside its page.
  bool tag_feeds = false;
  // "images": {"responsive": true}: photos in static/ published in a few
  // widths and formats, stripped of metadata, marked up as <picture>
  // (render/responsive_images.h); "keepMetadata": true keeps their
  // metadata.
  bool responsive_images = false;
  bool keep_image_metadata = false;
  bool Any() const { return paginate > 0 || search || taxonomies || sitemap; }
};

class SiteConfig {
 public:
  // Settings under "system" that may hold credentials (a token in a push
  // URL): the program's own pages get them, the generated site never does.
  static constexpr const char* kPrivateSettings[] = {"deployUrl", "sourceUrl", "deploy"};
  // The language of a blog and theme that name none: the feed's, and the
  // page's where the theme names none either.
  static constexpr char kDefaultLanguage[] = "zh-CN";
  static constexpr char kLanguageKey[] = "system.language";

  explicit SiteConfig(std::string root);

  // Reads base.json and conf.ini. False when base.json cannot be read, does
  // not parse or is not an object (reported); settings() is then an empty
  // object. A conf.ini that is there but cannot be read is reported and its
  // defaults used.
  bool Load(const DiagnosticSink& sink);
  // True when the last Load read base.json.
  bool loaded() const { return loaded_; }

  // Reads the theme's _conf.json (an empty object when it is missing; one
  // that does not parse is reported) and the features it asks for.
  void LoadTheme(const DiagnosticSink& sink);

  const Workspace& workspace() const { return workspace_; }
  // base.json as written.
  const JsonDocument& settings() const { return settings_; }
  // The text at path in base.json ("system.deployUrl"); "" when missing.
  std::string Setting(std::string_view path) const { return settings_.GetText(path); }
  // What the pages' links start with: "." or, with AbsoluteUrl=1,
  // system.url.
  const std::string& url_prefix() const { return url_prefix_; }
  // system.language as a checked tag (LanguageTag::Checked); "" when it is
  // not set or not a tag (Load reported it).
  const std::string& language() const { return language_; }
  // The language the theme's pages are in: language(), else the theme's
  // "defaultLanguage", else kDefaultLanguage. Set by LoadTheme.
  const std::string& page_language() const { return page_language_; }

  // themes/ + system.theme.
  std::string theme_dir() const;
  // A file of the theme: theme_dir() + "/" + name.
  std::string ThemeFile(std::string_view name) const;
  // The theme's _conf.json as LoadTheme read it.
  const JsonDocument& theme() const { return theme_; }
  const ThemeFeatures& features() const { return features_; }
  // The theme lists posts newest first ("order": "newest").
  bool newest_first() const { return theme_.GetText("order") == "newest"; }

  // Parses text, the JSON file at path, into *doc (a byte-order mark is
  // skipped). Reports "PATH:LINE:COLUMN: JSON error N (what)" or "PATH:
  // not a JSON object" and leaves *doc an empty object on failure.
  static bool ParseFile(const std::string& path, std::string text, JsonDocument* doc,
                        const DiagnosticSink& sink);

 private:
  ThemeFeatures ReadFeatures(const DiagnosticSink& sink) const;
  // Whether render.NAME says "build"; any value but "build" and "browser"
  // is reported and read as "browser".
  bool RendersAtBuild(const std::string& name, const DiagnosticSink& sink) const;
  // "feed", "feeds" and "tagFeeds" into *features; values it does not know
  // are reported and read as their defaults.
  void ReadFeedFeatures(ThemeFeatures* features, const DiagnosticSink& sink) const;
  // The tag at path of doc (file, for the report), checked; "" when it is
  // missing, and when it is no tag (reported).
  static std::string ReadLanguage(const JsonDocument& doc, std::string_view path,
                                  const std::string& file, const DiagnosticSink& sink);

  Workspace workspace_;
  JsonDocument settings_;
  bool loaded_ = false;
  std::string url_prefix_ = ".";
  std::string language_;
  std::string page_language_ = kDefaultLanguage;
  JsonDocument theme_;
  ThemeFeatures features_;
};

}  // namespace tarn
