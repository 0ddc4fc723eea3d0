// ArticleTextCache: what a build makes of each article's HTML besides its
// page, kept between builds: the plain text the search index holds, the
// ids on its headings and its table of contents (HeadingAnchors). Finding
// them reads the whole article; an edit changes one post, so a build
// makes them again for the posts whose HTML changed only.
//
// The results depend on the article's HTML as its page shows it (after the
// image markup), the theme's features (search; code and formulas typeset
// at build, whose markup the plain text reads as written) and the code
// that makes them. A digest of the last two and of the converting scripts
// (Digest) is the cache's, as the scripts digest is the conversion
// cache's: another feature set, other scripts or another kVersion find the
// file stale and use none of it. An entry is keyed by the SHA-256 of the
// HTML; or, for HTML exactly as the converter gave it, by the SHA-256 of
// the converter's own key of the Markdown it converted (which with the
// scripts fixes the HTML, as the conversion cache relies on) and a mark
// of that kind of key: hashing each article's HTML again on every build
// would cost more than a third of what the cache saves. The file is ConversionCache's log
// (convert/conversion_cache.h says what Load believes, what Save writes
// and what a crash leaves: a damaged or foreign file is ignored, noted and
// rewritten; writes are atomic or checked appends), in .tarn/ beside the
// Markdown cache. Each entry's value is
//
//   u32, bytes   the table of contents
//   u32          how many ids
//   per id: u64 where it goes in the HTML, u32, bytes the id
//   bytes        the plain text (to the end)
//
// (integers little-endian). The ids are kept rather than the HTML with
// them: inserting them is one copy of the article, while the anchored HTML
// would double the file and the checksums Load reads. A value that does
// not decode, or whose positions do not fit the HTML, is made again.
//
// Thread safety: none; the build's thread fills and reads it.
#pragma once

#include <string>
#include <string_view>

#include "convert/conversion_cache.h"
#include "data/diagnostics.h"
#include "render/site_config.h"

namespace tarn {

class ArticleTextCache {
 public:
  // Made for the code that makes the results: raise it when HeadingAnchors
  // or SearchIndex::PlainText (or RenderedHtml::Unrendered) change what
  // they give.
  static constexpr int kVersion = 1;

  // What an article's HTML gives.
  struct Made {
    std::string text;  // its plain text (features.search), else ""
    std::string html;  // the HTML with ids on its headings
    std::string toc;   // its table of contents
  };

  // path: the cache file ("": kept in memory only, as `--no-cache`
  // builds). scripts_digest: the converting scripts' (MarkdownConverter),
  // "" without a converter. The file is read at the first Of. Damage
  // found is noted on sink (which may be null).
  ArticleTextCache(std::string path, const ThemeFeatures& features,
                   const std::string& scripts_digest, DiagnosticSink sink);

  // What html gives under the features: from the cache when it holds the
  // entry, else made and kept. converted_from: the converter's key of the
  // text html was converted from (PostConversion::Get), when html is
  // exactly what the converter gave; null otherwise. Never fails.
  Made Of(std::string_view html, const ConversionCache::Key* converted_from = nullptr);

  // Writes the entries this build used to the file (ConversionCache::Save),
  // when any article asked; false, noted on the sink, when it cannot be
  // written (the site does not depend on it).
  bool Save();

  // How many Of calls the cache answered.
  std::size_t reused() const { return reused_; }

  // The digest of what, besides the HTML, the results depend on.
  static std::string Digest(const ThemeFeatures& features, const std::string& scripts_digest);
  // The cache file of the workspace at root.
  static std::string PathIn(const std::string& root);

 private:
  // Made from html with the features; *value gets it as stored.
  Made Make(std::string_view html, std::string* value) const;
  // Decodes value onto html into *made; false when it does not fit.
  bool Decode(std::string_view html, std::string_view value, Made* made) const;

  ConversionCache store_;
  DiagnosticSink sink_;
  bool search_;
  bool unrendered_;  // the plain text reads typeset code and formulas as written
  bool loaded_ = false;
  std::size_t reused_ = 0;
};

}  // namespace tarn
