// ThemeStrings: a theme's interface texts ("Home", "Archive", "Published
// on", ...) in the language of the blog, for templates as {$i18n.KEY}.
//
// A theme keeps them in one JSON file per language in its i18n/ folder
// (i18n/en.json, i18n/zh-CN.json), each an object of KEY -> text. Every
// key any of the files names gets the text of the first file in the
// language's chain that has it: the exact tag, the tag's language
// ("en-GB" -> "en"), English; and the key itself when none has it. A
// theme without the folder has no i18n data, so its pages render as they
// always have.
//
// Alongside, the build gives every page site.language (the page's
// language: SiteConfig::page_language) and site.ogLocale (the Open Graph
// locale of system.language; "" for a blog that names none, so a theme
// can leave its og:locale out for it), and the theme's menu entries that
// carry "i18n": "KEY" are named by that string.
//
// Thread safety: static functions; the build's thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/diagnostics.h"
#include "data/json_document.h"
#include "render/site_config.h"

namespace tarn {

class ThemeStrings {
 public:
  static constexpr char kFolder[] = "i18n";

  // The files a language's strings are looked for in, in order: "en-GB"
  // -> {"en-GB", "en"}, "zh-Hans-CN" -> {"zh-Hans-CN", "zh", "en"}.
  static std::vector<std::string> Chain(std::string_view language);

  // The strings of the theme in theme_dir for language: an object of
  // KEY -> text, without a tree when the theme has no i18n/ folder. A file
  // that does not parse, and a value that is not text, are reported and
  // skipped.
  static JsonDocument Load(const std::string& theme_dir, std::string_view language,
                           const DiagnosticSink& sink);

  // Sets site.language, site.ogLocale and, for a theme with strings, i18n
  // in *data, and names the menu entries of data's theme.* that ask for a
  // string. Problems with the files are reported to sink.
  // A base.json member named site or i18n gives way.
  static void AddTo(const SiteConfig& config, JsonDocument* data, const DiagnosticSink& sink);
  // Takes site and i18n out of *data again once the pages are written, so
  // that the next build's post index (written before AddTo) is as the
  // first's.
  static void RemoveFrom(JsonDocument* data);
};

}  // namespace tarn
