// JekyllSource: a Jekyll site as the importer reads it. Posts are the
// Markdown files under _posts/ (and NAME/_posts/, whose posts are of the
// category NAME), drafts those under _drafts/; assets/,
// images/ and the root's CNAME, favicon.ico and robots.txt become static
// files. Jekyll publishes only posts named "YYYY-MM-DD-slug"; a post
// without a date of its own takes its name's. Old addresses follow the
// permalink setting of _config.yml (a pattern or one of Jekyll's named
// styles, "date" by default) or the post's own permalink.
//
// The documents of a collection with "output: true" (_NAME/) that have a
// date (their own, or their name's) are posts too, of the category NAME,
// their old addresses following the collection's permalink
// (/:collection/:path:output_ext by default); undated ones are reported.
// tags and categories written as one text are lists split at white space,
// as Jekyll reads them. A configured excerpt_separator becomes <!--more-->.
//
// Thread safety: none; the thread that runs the import uses it.
#pragma once

#include "import/import_source.h"

namespace tarn {

class JekyllSource : public ImportSource {
 public:
  // folder: the site's root, canonical; report must outlive the source.
  JekyllSource(std::filesystem::path folder, const ImportReport* report);

  // Whether folder looks like a Jekyll site: a _posts folder, or a
  // _config.yml beside a _drafts folder.
  static bool Recognizes(const std::filesystem::path& folder);

  // Splits a post's name "YYYY-MM-DD-slug" (a year of two to four digits,
  // month and day of one or two). Returns false, leaving *date and *slug
  // alone, when the name has no such start or its date does not exist.
  static bool SplitName(const std::string& name, Permalink::Date* date, std::string* slug);

  // The pattern a permalink setting stands for: Jekyll's named styles
  // (date, pretty, ordinal, weekdate, none) spelled out, any other setting
  // as it is.
  static std::string PatternOf(const std::string& setting);

  std::string_view generator() const override { return "Jekyll"; }
  std::vector<Post> Posts() const override;

  // The words of front's key, each once, as Jekyll reads a list written
  // as one text or as a list of texts.
  static std::vector<std::string> Words(const FrontMatter& front, std::string_view key);
  std::vector<StaticRoot> StaticRoots() const override;
  std::vector<std::filesystem::path> LooseFiles() const override;
  // Translates the post's Liquid tags and kramdown markup
  // (LiquidTranslator); each one left or dropped is reported with its line.
  // The excerpt_separator of the post, or else of the site, becomes tarn's
  // excerpt marker where it first stands outside code.
  // Counts the links and paths it rewrote, not the tags.
  Translated TranslateTags(const Post& post, const Articles& articles, const ImportReport& report,
                           std::string* text) const override;

 protected:
  bool LoadSettings() override;
  std::optional<Permalink::Date> ImpliedDate(const Post& post, const FrontMatter& front,
                                             std::string* key) const override;
  std::map<std::string, std::vector<std::string>> ListsAsRead(
      const FrontMatter& front) const override;
  std::string AddressOf(const Post& post, const FrontMatter& front,
                        std::optional<Permalink::Date> date, std::string* why) const override;

 private:
  // The dated documents of the collection name, with its undated ones
  // reported.
  std::vector<Post> CollectionPosts(const std::string& name) const;
  // The article link of the post post_url names; "" when there is none.
  std::string ArticleOf(const Articles& articles, const std::string& name) const;
  // What {% link PATH %} leads to: a post's article, a copied static
  // file's link (StaticLink) or another file's path; "" when it names
  // none of them.
  std::string LinkOf(const Articles& articles, const std::string& path) const;
  // The link from an article page to the static file the site path
  // ("/assets/x.png") names, when the import copies it; "" otherwise.
  std::string StaticLink(const std::string& path) const;
  // The text of folder/NAME when it is an HTML or Markdown file
  // without Liquid of its own.
  bool IncludeOf(const std::filesystem::path& folder, const std::string& name,
                 std::string* text) const;

  std::string permalink_;                           // the site's pattern, spelled out
  std::string excerpt_separator_;                   // the site's, or ""
  std::map<std::string, std::string> collections_;  // output collection: its permalink
};

}  // namespace tarn
