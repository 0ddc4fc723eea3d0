// ImportSource: what the importer needs to know about one generator's site:
// where its posts and drafts are, which folders and files become static
// files, how its settings file is read, and how a post's address on the
// old site was formed. JekyllSource, HugoSource and HexoSource answer for
// their generators; Detect tells which one made a site. SiteImporter does
// the rest (copying, never overwriting, a post's own files, the report) the
// same way for all of them.
//
// A source reads its settings once (ReadSettings) before it is asked for
// posts or addresses; what it meets on the way (a settings file that does
// not parse, a symbolic link, a file that is not Markdown) goes to the
// report.
//
// Thread safety: none; the thread that runs the import uses a source.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_report.h"
#include "import/imported_settings.h"
#include "import/permalink.h"
#include "import/site_files.h"

namespace tarn {

class FrontMatter;
class SourceSettings;

class ImportSource {
 public:
  // A post or draft of the old site.
  struct Post {
    std::filesystem::path file;       // the Markdown file
    std::filesystem::path resources;  // a folder of the post's own files, or empty
    std::string name;                 // its name in _posts, without ".md"
    std::string relative;             // where it lies, as its generator's addresses use it
    bool draft = false;               // from a drafts folder
    // The Jekyll collection it comes from, or empty for _posts/.
    std::string section;
    // A category it gets from where it lies (its Hugo section or Jekyll
    // collection), or empty.
    std::string category;
  };

  // A folder of the old site whose files become static files.
  struct StaticRoot {
    std::filesystem::path folder;
    std::string prefix;               // under static/, "" or ending in "/"
    bool skips_hidden_pages = false;  // names starting with "_" or "." and
                                      // Markdown pages stay behind
  };

  // A post's address on the old site.
  struct Address {
    std::string address;  // "/2019/03/05/hello/", or "" when it cannot be told
    std::string why;      // when address is "": the reason ("a draft", ...)
    bool draft = false;   // a draft, which has no address to tell
    // The date the generator gave the post when its front matter has no
    // "date": from its file name (date_key "") or another key (date_key).
    std::optional<Permalink::Date> implied_date;
    std::string date_key;
  };

  virtual ~ImportSource() = default;
  ImportSource(const ImportSource&) = delete;
  ImportSource& operator=(const ImportSource&) = delete;

  // The source for the site in folder (a canonical path: a symbolic link
  // on the way to a folder of the site is not followed), judged by its
  // layout and settings files, reporting to *report (which must outlive
  // it); nullptr when no generator's layout fits.
  static std::unique_ptr<ImportSource> Detect(const std::filesystem::path& folder,
                                              const ImportReport* report);

  // "Hexo", "Hugo" or "Jekyll".
  virtual std::string_view generator() const = 0;

  // Reads the settings files and says in the report what old addresses
  // will follow. A settings file that is there but does not read is
  // reported, and no post then gets an old address.
  void ReadSettings();

  // The posts and drafts, in the order they are imported. What is left
  // behind (list pages, content that is not Markdown, links) is reported.
  virtual std::vector<Post> Posts() const = 0;

  // The folders whose files are copied into static/, in this order.
  virtual std::vector<StaticRoot> StaticRoots() const = 0;

  // Single files copied into static/ by their name, when they are regular
  // files.
  virtual std::vector<std::filesystem::path> LooseFiles() const { return {}; }

  // Limits the posts to the Hugo sections or Jekyll collections named,
  // whose pages then get no category of their name; none: every one with
  // dated pages. Called before Posts.
  void ChooseSections(std::vector<std::string> names) { chosen_ = std::move(names); }

  // Where the old site was published, as its settings say: "https://
  // example.org/blog", without a final "/"; "" when they do not say.
  const std::string& base_url() const { return base_url_; }

  // The old site's time zone (an IANA name), in which its dates without
  // an offset are read; "" when its settings name none.
  const std::string& time_zone() const { return time_zone_; }

  // The site's title, description, author, language, address and time
  // zone as its settings name them; "" for each they do not name.
  ImportedSettings::Values site_values() const;

  // The front matter keys whose single text the generator reads as a list,
  // with that list (Jekyll's space-separated tags). The default has none.
  virtual std::map<std::string, std::vector<std::string>> ListsAsRead(
      const FrontMatter& front) const;

  // Replaces the tags in text that link a file of the post's resources
  // folder (Hexo's asset_img, asset_link, asset_path) by the Markdown they
  // stand for, the file linked as folder_link + its name. Called for each
  // folder the post's files may go to. Returns how many it replaced. The
  // default replaces none.
  virtual int ReplaceOwnTags(const Post& post, const std::string& folder_link,
                             std::string* text) const;

  // Each imported post's Markdown file, with the link to its article page
  // from another article.
  using Articles = std::map<std::filesystem::path, std::string>;

  // What TranslateTags changed: tags the report counts as translated, and
  // links and paths it counts among the rewritten links.
  struct Translated {
    int tags = 0;
    int links = 0;
  };

  // Replaces the generator's template syntax in the text of post (Hugo's
  // shortcodes, Hexo's tags, Jekyll's Liquid and kramdown), which tarn
  // would show as written, by the Markdown or HTML it stands for, before
  // its links are followed; a tag naming another post links to its article
  // (articles). Each construct left as written or dropped goes to report
  // with the post's file and line. Called once for each conversion of a
  // post. The default replaces none.
  virtual Translated TranslateTags(const Post& post, const Articles& articles,
                                   const ImportReport& report, std::string* text) const;

  // The post's address on the old site with its front matter front. None
  // for drafts (of a drafts folder or by their front matter) or when the
  // settings did not read.
  Address OldAddress(const Post& post, const FrontMatter& front) const;

 protected:
  // root: the site's folder, canonical; report must outlive the source.
  ImportSource(std::filesystem::path root, const ImportReport* report);

  const std::filesystem::path& root() const { return root_; }
  const ImportReport& report() const { return *report_; }

  // Reads the generator's settings. Returns false when a settings file is
  // there but does not read (LoadSettingsFile has reported it).
  virtual bool LoadSettings() = 0;

  // The date the generator gives a post whose front has no "date": from
  // its file name (leaving *key alone) or the front matter key it sets
  // *key to; nullopt when it gives none. The default gives none.
  virtual std::optional<Permalink::Date> ImpliedDate(const Post& post, const FrontMatter& front,
                                                     std::string* key) const;

  // The address of a published post; date is its date, if it has one.
  // Returns "" with *why set when it cannot be told.
  virtual std::string AddressOf(const Post& post, const FrontMatter& front,
                                std::optional<Permalink::Date> date, std::string* why) const = 0;

  // Sets base_url from the settings' site address and, when that has no
  // path of its own, a path under it (Jekyll's baseurl, Hexo's root).
  void set_base_url(const std::string& url, const std::string& path);

  // The sections ChooseSections named; empty when it named none.
  const std::vector<std::string>& chosen() const { return chosen_; }
  // Whether the section or collection name is among them.
  bool IsChosen(const std::string& name) const;

  // Takes the title, description, author and language from the settings
  // (each generator's and theme's usual names for them); a theme's
  // parameters from params, when given, else from config's "params".
  void ReadSiteValues(const SourceSettings& config, const SourceSettings* params = nullptr);

  // Sets the time zone named by the settings; an unknown name is reported
  // and ignored.
  void set_time_zone(const std::string& zone);

  // Reads a settings file into *config. A missing file leaves *config
  // alone and returns true (the defaults apply); one that does not read is
  // reported and gives false.
  bool LoadSettingsFile(const std::filesystem::path& file, SourceSettings* config) const;

  // The "permalink" setting of config, or fallback; says which in the report.
  std::string PermalinkSetting(const SourceSettings& config, const std::string& fallback) const;

  // The posts in the Markdown files under folder, named by their file
  // names, relative holding the path under folder without the extension.
  // Hidden files are passed over; other content is reported as skipped.
  std::vector<Post> PostsUnder(const std::filesystem::path& folder, bool drafts,
                               const SiteFiles::EnterFolder& enter) const;

  // Reports each of left, tags of the post's file left as written.
  void ReportLeftTags(const Post& post, const ImportReport& report,
                      const std::vector<std::pair<int, std::string>>& left) const;

  // Reports file as skipped when it is content tarn does not render.
  void SkipOtherContent(const std::filesystem::path& file) const;

  // The date at key of front, when it has one that reads.
  static std::optional<Permalink::Date> DateAt(const FrontMatter& front, std::string_view key);

  // Permalink::Expand of pattern; when it fails for want of a date, *why
  // says that the post has none.
  static std::string Expanded(const std::string& pattern, std::optional<Permalink::Date> date,
                              const std::map<std::string, std::string>& values, std::string* why);

 private:
  std::filesystem::path root_;
  const ImportReport* report_;
  bool settings_read_ = false;
  std::string time_zone_;
  std::vector<std::string> chosen_;
  std::string base_url_;
  ImportedSettings::Values values_;
};

}  // namespace tarn
