// SiteImporter: brings a Hexo, Hugo or Jekyll site into a workspace, so that
// a blogger moves over with posts, drafts, images and old addresses intact.
//
// What comes over:
//   Hexo    source/_posts (sub-folders too), source/_drafts as drafts, a
//           post's asset folder (source/_posts/NAME/ beside NAME.md), and
//           every other file under source/ into static/ (Markdown pages and
//           names starting with "_" or "." excepted, as Hexo skips them);
//   Hugo    content/posts and content/post (or the configured contentDir),
//           page bundles (a folder with index.md) with their files, and
//           static/ (or staticDir) into static/;
//   Jekyll  _posts, _drafts as drafts, assets/, images/ and the root's
//           CNAME, favicon.ico and robots.txt into static/.
//
// Posts land in _posts/NAME.md; a post's own files (bundle, asset folder,
// files its relative links point to) in static/images/NAME/, and those
// links are rewritten to reach them from the article page. A drafts
// folder's post gets "draft: true"; a Jekyll post without a date gets the
// one of its "YYYY-MM-DD-" file name. Where the old site's permalink
// pattern is known (its configuration, else the generator's default), each
// published post gets its old address under "aliases"; where an address
// cannot be told, the report says why. Nothing else in a post changes.
//
// Nothing is ever overwritten: a name that exists in the workspace is
// reported and skipped, and a post that is skipped brings none of its files.
// Symbolic links in the old site are not followed, and nothing is written
// outside the workspace's _posts/ and static/.
//
// Thread safety: none; one thread runs an importer.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "import/permalink.h"

namespace YAML {
class Node;
}

namespace tarn {

class FrontMatter;

class SiteImporter {
 public:
  enum class Generator { kUnknown, kHexo, kHugo, kJekyll };

  // One line of the report.
  struct Entry {
    enum class Kind {
      kCopied,   // text: "SOURCE -> TARGET" and what changed on the way
      kSkipped,  // text: "SOURCE: why"
      kNote,     // text: what the blogger should know (no file involved)
      kError,    // text: "PATH: what failed"
    };
    Kind kind;
    std::string text;
  };
  using ReportSink = std::function<void(const Entry& entry)>;

  // source: the old site's root folder; workspace: the workspace root.
  SiteImporter(std::filesystem::path source, std::filesystem::path workspace, ReportSink sink);

  // Which generator made the site in folder, by its layout and
  // configuration files; kUnknown when none fits.
  static Generator Detect(const std::filesystem::path& folder);

  // Imports everything. Returns the number of files brought in (posts and
  // other files), or -1, after an error entry, when the source is not a
  // site of a known kind or the workspace is not a folder.
  int Run();

 private:
  struct SourcePost {
    std::filesystem::path file;       // the Markdown file
    std::filesystem::path resources;  // a folder of the post's own files, or empty
    std::string name;                 // its name in _posts, without ".md"
    std::string relative;             // Hexo: path under _posts without extension;
                                      // Hugo: folder under the content folder
    bool draft = false;               // from a drafts folder
  };
  struct StaticRoot {
    std::filesystem::path folder;  // in the old site
    std::string prefix;            // under static/, "" or ending in "/"
    bool hexo_rules = false;       // skip "_" and "." names and Markdown pages
  };
  struct Settings;

  void ReadSettings();
  void ReadHugoSettings();
  // Reads a configuration file into *config; false, after a note, when it
  // is there but cannot be read (a missing file leaves the defaults).
  bool LoadSettings(const std::filesystem::path& file, YAML::Node* config);
  // The "permalink" of a Hexo or Jekyll configuration, or fallback; says
  // which in the report.
  std::string PermalinkSetting(const YAML::Node& config, const std::string& fallback);
  void CollectPosts();
  // Finds the post's own files (bundle, asset folder, targets of its
  // relative links), sets (*copies)[file] to their places under static/
  // and points the links in *text at them. Returns how many links changed.
  int MoveOwnFiles(const SourcePost& post, std::string* text,
                   std::map<std::filesystem::path, std::string>* copies);
  // Each returns the number of files it brought in.
  int ImportPost(const SourcePost& post);
  int CopyStatic(const StaticRoot& root);
  // The post's address on the old site, or "" with *why set. A Jekyll post
  // without a date of its own gets *date_from_name.
  std::string OldAddress(const SourcePost& post, const FrontMatter& front, std::string* why,
                         std::optional<Permalink::Date>* date_from_name) const;
  std::string HexoAddress(const SourcePost& post, const FrontMatter& front,
                          std::optional<Permalink::Date> date, std::string* why) const;
  std::string HugoAddress(const SourcePost& post, const FrontMatter& front,
                          std::optional<Permalink::Date> date, std::string* why) const;
  // The file a relative link of post points to, or "" when it is not a
  // regular file inside the old site.
  std::filesystem::path Resolve(const SourcePost& post, const std::string& link) const;
  // Where a file of the old site lands under static/ when the static
  // copy takes it, or "".
  std::string StaticPath(const std::filesystem::path& file) const;
  bool Copies(const StaticRoot& root, const std::string& relative) const;
  // Copies one file into the workspace, never over an existing name.
  bool CopyFile(const std::filesystem::path& from, const std::filesystem::path& to);
  std::string Shown(const std::filesystem::path& path) const;
  void Report(Entry::Kind kind, std::string text);

  std::filesystem::path source_;
  std::filesystem::path workspace_;
  ReportSink sink_;
  Generator generator_ = Generator::kUnknown;
  std::shared_ptr<Settings> settings_;
  std::vector<SourcePost> posts_;
  std::vector<StaticRoot> static_roots_;
  std::vector<std::filesystem::path> loose_files_;  // copied into static/ by name
};

}  // namespace tarn
