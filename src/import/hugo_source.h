// HugoSource: a Hugo site as the importer reads it. Posts are the Markdown
// files of the content folder's sections (contentDir in the settings): all
// of posts/ and post/, and every other section that has a dated page, whose
// name becomes its posts' category. A page bundle (a folder with an
// index.md) is one post with its files; the static folders (staticDir,
// static/ by default) become static files. List pages (_index.md), pages
// outside sections and sections without dated pages are reported.
//
// A post without "date" is dated as Hugo dates it: by the frontmatter
// setting's "date" list (":filename" reads "YYYY-MM-DD-" names,
// ":default" is date, publishDate, pubdate, published, lastmod, modified).
// Dates without an offset are read in the timeZone setting. uglyURLs may be
// one flag or one per section; a date read from the file name leaves the
// rest of the name as the slug, as in Hugo.
//
// The settings are the first of hugo.toml/.yaml/.yml/.json and
// config.toml/.yaml/.yml/.json in the site's root, then in
// config/_default/, whose permalinks file wins for permalinks. Old
// addresses follow the permalinks of the post's section (Hugo's default
// /SECTION/NAME/ without one), uglyURLs and disablePathToLower; a post's
// own url wins.
//
// Thread safety: none; the thread that runs the import uses it.
#pragma once

#include <map>

#include "import/import_source.h"
#include "import/source_settings.h"

namespace tarn {

class HugoSource : public ImportSource {
 public:
  // folder: the site's root, canonical; report must outlive the source.
  HugoSource(std::filesystem::path folder, const ImportReport* report);

  // Whether folder looks like a Hugo site: a hugo settings file, a config
  // settings file beside a content folder, or config/_default/ beside one.
  static bool Recognizes(const std::filesystem::path& folder);

  std::string_view generator() const override { return "Hugo"; }
  std::vector<Post> Posts() const override;
  std::vector<StaticRoot> StaticRoots() const override;
  // Translates the post's shortcodes (ShortcodeTranslator); "param" reads
  // the post's front matter, then the site's params.
  Translated TranslateTags(const Post& post, const Articles& articles, const ImportReport& report,
                           std::string* text) const override;

 protected:
  bool LoadSettings() override;
  std::string AddressOf(const Post& post, const FrontMatter& front,
                        std::optional<Permalink::Date> date, std::string* why) const override;
  std::optional<Permalink::Date> ImpliedDate(const Post& post, const FrontMatter& front,
                                             std::string* key) const override;

 private:
  // Reads the first settings file Hugo would into *config; false when it
  // does not read.
  bool LoadMainSettings(SourceSettings* config) const;
  // Reads the permalinks of config and of config/_default/permalinks.*;
  // false when one of those files does not read.
  bool LoadPermalinks(const SourceSettings& config);
  // The map in config/_default/NAME.toml (.yaml, .yml, .json; the last
  // that reads), or an empty tree; *readable turns false when one is there
  // but does not read (reported).
  SourceSettings DefaultFile(const std::string& name, bool* readable) const;
  // The posts of one section folder, with its page bundles.
  std::vector<Post> SectionPosts(const std::filesystem::path& section) const;
  // The index file that makes folder a page bundle, or "" when it is none.
  static std::filesystem::path BundleIndex(const std::filesystem::path& folder);
  // Whether one of posts has a date Hugo gives it.
  bool AnyDated(const std::vector<Post>& posts) const;
  // The article link of the imported post a ref shortcode of post names
  // by path: under content/, beside post, or by its file or bundle name
  // alone when one post alone has it; "" when none does.
  std::string RefLink(const Post& post, const Articles& articles, const std::string& path) const;
  // Reports the Markdown pages that lie in content/ outside any section.
  void ReportLoosePages() const;

  std::filesystem::path content_;
  std::map<std::string, std::string> site_params_;  // lower-cased name: value
  std::vector<std::string> static_dirs_;
  std::map<std::string, std::string> section_permalinks_;  // lower-case section: pattern
  bool ugly_urls_ = false;
  bool lower_paths_ = true;
  std::vector<std::string> date_order_;        // the frontmatter setting's date list
  bool filename_dates_ = false;                // ":filename" among them
  std::map<std::string, bool> ugly_sections_;  // uglyURLs given per section
};

}  // namespace tarn
