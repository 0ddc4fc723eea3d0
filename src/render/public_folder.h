// PublicFolder: everything a build does to public/. Before a page is
// written, a folder made or a stale page removed, it checks that nothing on
// the way is a symbolic link (a build must never write or delete through a
// link into a folder outside the blog); it writes pages now or on a
// background writer, copies folders in, removes pages of an earlier build
// that this one no longer makes, and keeps the build's books: which files
// the build generated (static files and aliases give way to them) and
// which pages the sitemap lists.
//
// A refused or failed operation is reported to the sink, names the path and
// marks the build failed (failed()); the *error forms report nothing and
// leave the message to the caller.
//
// Thread safety: one thread, the build's; the background writers write on
// their own threads through the tree.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/diagnostics.h"
#include "render/output_tree.h"
#include "render/output_writer.h"
#include "render/sitemap_builder.h"

namespace tarn {

class PublicFolder {
 public:
  // tree: where the site goes; not owned, must outlive the folder.
  PublicFolder(OutputTree* tree, DiagnosticSink sink);

  OutputTree& tree() { return *tree_; }
  // relative as messages name it.
  std::string Shown(std::string_view relative) const { return tree_->Shown(relative); }

  bool failed() const { return failed_; }
  // Reports message and marks the build failed.
  void Fail(const std::string& message);

  // True when relative may be written or removed; false, reported, when a
  // symbolic link lies on the way.
  bool Allowed(std::string_view relative);
  // Allowed, then makes the folders above relative. A folder that cannot
  // be made is left for the write to report.
  bool MakeFoldersFor(std::string_view relative);
  // Allowed, then makes folder itself. False, reported, when it is refused
  // ("FOLDER: consequence") or is not a folder afterwards ("FOLDER: cannot
  // create the NAME folder (consequence)").
  bool MakeFolder(std::string_view folder, const std::string& name, const std::string& consequence);

  // Notes relative as generated, then writes it when Allowed. False,
  // reported, when it is refused or cannot be written.
  bool Write(const std::string& relative, std::string_view contents);
  // Writes relative, making its folders, without noting it as generated:
  // for files copied in after the build's own pages. False with *error
  // ("PATH: reason") when refused or not written; nothing is reported.
  bool Put(const std::string& relative, std::string_view contents, std::string* error);
  // As Put, with a copy of the plain file at source (OutputTree::CopyFile).
  bool PutCopy(const std::string& source, const std::string& relative, std::string* error);
  // True when relative already holds the copy of source an earlier build
  // made (OutputTree::IsCopyOf), in a folder found Contained: the caller
  // may count it as put without ClearWayFor and PutCopy, which look at
  // every folder on the way each time. A folder's check is made once per
  // build, as the build alone writes into public/ while it runs.
  bool HoldsCopyOf(const std::string& source, const std::string& relative);
  // True when relative, in a folder found Contained as for HoldsCopyOf, is
  // a plain file with the given stamp (OutputTree::StampOf): the page an
  // earlier build wrote there, untouched since. Notes nothing.
  bool HoldsStamped(const std::string& relative, const OutputTree::Stamp& stamp);
  // Makes way for a file Put at relative: a plain file standing where one
  // of its folders goes, or a folder standing where it goes that holds
  // only plain files and folders, is what an earlier build left there (a
  // static file since made a folder, or the other way round; an alias
  // page) and is removed, unless this build generated it or it lies in a
  // .git folder. Nothing is removed through a link.
  void ClearWayFor(std::string_view relative);
  // True when a step of relative is ".git" (in any case): the deploy
  // repository, which nothing the build writes or removes may reach.
  static bool InGitFolder(std::string_view relative);

  // A writer that writes pages through the tree on a thread of its own.
  std::unique_ptr<OutputWriter> NewWriter();
  // Notes relative as generated and, when Allowed, queues it on writer.
  // False, reported, when refused; write failures come from Flush.
  bool WriteLater(OutputWriter* writer, const std::string& relative, std::string contents);
  // Waits for writer; reports each file it could not write. Returns how
  // many there were (the build has failed when any).
  int Flush(OutputWriter* writer);

  // Removes FOLDER/*.html files whose names are not in keep, once Allowed;
  // anything else in the folder (links above all) stays. A file that cannot
  // be removed is reported as "PATH: what: reason".
  void RemoveStaleFiles(std::string_view folder, const std::set<std::string>& keep,
                        const std::string& what);
  // Removes FOLDER/NAME/index.html, and NAME when it is empty then, for
  // the NAMEs not in keep; anything else stays.
  void RemoveStalePages(std::string_view folder, const std::set<std::string>& keep);
  // Removes the file relative when it is one (not a link) and Allowed.
  void RemoveFile(std::string_view relative);
  // Removes the page relative that an earlier build wrote and this one
  // does not (an alias page no published post asks for), unless this build
  // generated it: when it is a plain file and Allowed; then the folders
  // above it that are left empty.
  void RemoveLeftover(std::string_view relative);

  // The alias pages of the last build (PublicRecord), set before the
  // build's steps run; and those of this build, once its alias step has
  // run (empty until then).
  void set_earlier_aliases(std::vector<std::string> pages) { earlier_aliases_ = std::move(pages); }
  const std::vector<std::string>& earlier_aliases() const { return earlier_aliases_; }
  void set_aliases(std::vector<std::string> pages) { aliases_ = std::move(pages); }
  const std::optional<std::vector<std::string>>& aliases() const { return aliases_; }
  // The same for the pages of _pages/ (MarkdownPages).
  void set_earlier_pages(std::vector<std::string> pages) { earlier_pages_ = std::move(pages); }
  const std::vector<std::string>& earlier_pages() const { return earlier_pages_; }
  void set_pages(std::vector<std::string> pages) { pages_ = std::move(pages); }
  const std::optional<std::vector<std::string>>& pages() const { return pages_; }

  void Generated(std::string_view relative) { generated_.emplace(relative); }
  bool IsGenerated(const std::string& relative) const { return generated_.count(relative) > 0; }

  // A page the sitemap lists; updated: the newest update it shows.
  void Listed(std::string_view relative, std::string_view updated) {
    sitemap_.Add(relative, updated);
  }
  const SitemapBuilder& sitemap() const { return sitemap_; }

 private:
  void Report(const std::string& message) const;
  // Contained, then the folders above relative made; false with *error.
  bool ReadyFor(const std::string& relative, std::string* error);
  // False when relative lies in .git or in a folder that is not Contained.
  bool InContainedFolder(const std::string& relative);
  // True when the build generated relative or something inside it.
  bool GeneratedWithin(std::string_view relative) const;
  // True when folder holds plain files and folders only; removes them and
  // it when remove is set.
  bool PlainTree(std::string_view folder, bool remove);

  OutputTree* tree_;
  DiagnosticSink sink_;
  bool failed_ = false;
  std::set<std::string, std::less<>> generated_;
  std::set<std::string, std::less<>> contained_folders_;  // HoldsCopyOf's checks
  SitemapBuilder sitemap_;
  std::vector<std::string> earlier_aliases_;
  std::optional<std::vector<std::string>> aliases_;
  std::vector<std::string> earlier_pages_;
  std::optional<std::vector<std::string>> pages_;
};

}  // namespace tarn
