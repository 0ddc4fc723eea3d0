// SiteImporter: brings a Hexo, Hugo or Jekyll site into a workspace, so that
// a blogger moves over with posts, drafts, images and old addresses intact.
// What each generator's site holds, and how its old addresses were made, is
// its ImportSource's (JekyllSource, HugoSource, HexoSource); the importer
// does the rest the same way for all of them.
//
// Posts land in _posts/NAME.md; a post's own files (a Hugo bundle, a Hexo
// asset folder, files its relative links point to) in static/images/NAME/,
// and those links are rewritten to reach them from the article page. Where
// static/images/NAME/ holds a different file of a name the post brings, its
// files go to the first of NAME-2/, NAME-3/, ... that holds none. A
// drafts folder's post gets "draft: true"; a post the generator dated by
// its file name or another key gets that date, and a date without an
// offset gets the old site's time zone's, when its settings name one.
// Values the generator read otherwise than as written (Jekyll's
// space-separated tags) are written as it read them; a post of a Hugo
// section or Jekyll collection gets its name as a category. The
// generator's template tags become the Markdown or HTML they stand for
// (ImportSource::TranslateTags); each left as written is reported. Where the old site's permalink
// pattern is known (its settings, else the generator's default), each published post gets its old
// address under "aliases"; where an address cannot be told, the report says why. Links between the
// imported posts lead straight to the new article pages.
//
// Nothing is ever overwritten: a name that exists in the workspace is
// reported and skipped, and a post that is skipped brings none of its files,
// unless the post there is this import's own (the same text): then the files
// an earlier, interrupted import did not bring are brought in.
// Symbolic links in the old site are not followed, and nothing is written
// outside the workspace's _posts/ and static/, but for config/base.json:
// when posts came over, the old site's title, description, author,
// language, address and time zone replace the values tarn init wrote there
// (only those still unchanged), and tarn init's welcome post goes when it
// is still exactly as init wrote it (ImportedSettings).
//
// Thread safety: none; one thread runs an importer.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "import/import_report.h"
#include "import/import_source.h"
#include "import/post_links.h"
#include "workspace/workspace.h"

namespace tarn {

class FrontMatter;

class SiteImporter {
 public:
  using Entry = ImportReport::Entry;
  using ReportSink = ImportReport::Sink;

  // source: the old site's root folder; workspace: the workspace root.
  SiteImporter(std::filesystem::path source, std::filesystem::path workspace, ReportSink sink);

  // Imports everything, reporting each file copied or skipped. Returns the
  // number of files brought in (posts and other files), or -1, after an
  // error entry, when the source is not a site of a known kind or the
  // workspace is not a folder. When no post comes over (nor is there from
  // an earlier import of the same site), an error entry says so and names
  // the content left behind.
  int Run();

  // The Hugo sections or Jekyll collections whose pages are the posts
  // (ImportSource::ChooseSections); none: every one with dated pages.
  // Called before Run.
  void ChooseSections(std::vector<std::string> names) { chosen_ = std::move(names); }

  // How many posts and drafts Run brought in or found in the workspace
  // from an earlier import; the command fails when there are none.
  int posts() const { return posts_; }

  // The blog tarn init copies (BundledSkeleton), whose settings and welcome
  // post are the ones an import replaces; by default the one beside the
  // running program, none when there is none. Called before Run.
  void set_fresh_blog(std::filesystem::path folder) { fresh_blog_ = std::move(folder); }

 private:
  using Post = ImportSource::Post;
  using StaticRoot = ImportSource::StaticRoot;
  // Where the files a post brings along go: old file -> path under static/.
  using Copies = std::map<std::filesystem::path, std::string>;

  // Takes the old site's settings into base.json and removes the welcome
  // post, as ImportedSettings says, reporting what it did.
  void TakeOverFreshBlog() const;

  // Finds the post's own files (resources, the targets of its relative
  // links), sets (*copies)[file] to their places under static/ (in
  // images/FOLDER, FOLDER ending in "/") and points the links in *text at
  // them. Returns how many links changed.
  int MoveOwnFiles(const Post& post, const std::vector<std::filesystem::path>& resources,
                   const std::string& folder, std::string* text, Copies* copies) const;
  // MoveOwnFiles into the first own folder (NAME/, NAME-2/, ...) where no
  // other file is in the way; sets *own to it. Returns how many links
  // changed, or -1, reported as skipped, when every folder tried is in the
  // way.
  int PlaceOwnFiles(const Post& post, const ImportReport& report, std::string* text, Copies* copies,
                    std::string* own) const;
  // Turns *text into the post as it lands in _posts: its own files placed
  // (PlaceOwnFiles), "draft", a date from its name and its old address
  // added. Sets *details to what changed, for the report. Returns false,
  // after reporting why to report, when the post is skipped.
  bool Convert(const Post& post, const ImportReport& report, std::string* text, Copies* copies,
               std::string* details) const;
  // Notes each post's article link by its file (article_files_), and each
  // published post's old addresses (its own aliases too) with
  // the link to its article page, for LinkToArticles.
  void MapOldAddresses(const std::vector<Post>& posts);
  // Points the links of *text that lead to an imported post's old address
  // (a path, under the old site's base path or not, or the full address
  // under its base URL) straight at its article page. Returns how many it
  // changed.
  int LinkToArticles(std::string* text) const;
  // The same for links of *text found by one PostLinks finder: prefix is
  // the base path (site paths) or the base URL without its scheme (web,
  // whose links are taken only under it).
  int LinkToArticles(const std::vector<PostLinks::Link>& links, const std::string& prefix, bool web,
                     std::string* text) const;
  // The text a date the generator gave a post is written as: text (the
  // value it came from) when that has an offset, else date in the site's
  // time zone, else text or the day alone.
  std::string WrittenDate(const Permalink::Date& date, const std::string& text) const;
  // Writes again, in *text, the values of front the old site read other
  // than as written: a date without an offset in the site's time zone, a
  // list written as one text. Adds what changed to *changes.
  void RereadAsTheSiteDid(const FrontMatter& front, std::string* text,
                          std::vector<std::string>* changes) const;
  // Each returns the number of files it brought in.
  int ImportPost(const Post& post);
  // The files still missing of a post that is in the workspace already,
  // when it is this import's own.
  int CompleteOwnFiles(const Post& post, const std::filesystem::path& target);
  int CopyOwnFiles(const Copies& copies);
  int CopyStatic(const StaticRoot& root);
  // The file a relative link of post points to, or "" when it is not a
  // regular file inside the old site.
  std::filesystem::path Resolve(const Post& post, const std::string& link) const;
  // Where a file of the old site lands under static/ when the static copy
  // takes it, or "".
  std::string StaticPath(const std::filesystem::path& file) const;
  // Copies one file into the workspace, never over an existing name.
  bool CopyFile(const std::filesystem::path& from, const std::filesystem::path& to);

  std::filesystem::path source_;
  std::filesystem::path workspace_root_;
  Workspace workspace_;
  ImportReport report_;
  std::unique_ptr<ImportSource> site_;
  std::vector<StaticRoot> static_roots_;
  int posts_ = 0;
  std::vector<std::string> chosen_;
  std::filesystem::path fresh_blog_;
  std::map<std::string, std::string> article_links_;  // old address: article link
  ImportSource::Articles article_files_;              // published post's file: article link
};

}  // namespace tarn
