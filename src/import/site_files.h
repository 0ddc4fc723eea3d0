// SiteFiles: walking an old site's folders the way the importer reads them:
// which files are Markdown, which are content a generator renders that tarn
// does not, and the files under a folder without following symbolic links
// or picking up version-control folders and desktop litter.
//
// Thread safety: pure functions but for the file system they look at; any
// thread.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarn {

class SiteFiles {
 public:
  // Decides whether a walk goes into a folder.
  using EnterFolder = std::function<bool(const std::filesystem::path& folder)>;
  // Receives a symbolic link the walk met and did not follow.
  using OnLink = std::function<void(const std::filesystem::path& link)>;

  // The extensions of Markdown files, in the order the generators look for
  // a post's file.
  static constexpr const char* kMarkdownExtensions[] = {".md", ".markdown", ".mdown", ".mkd",
                                                        ".mkdn"};

  // Whether the extension (any case) is one of kMarkdownExtensions.
  static bool IsMarkdown(const std::filesystem::path& path);

  // Whether the file is content a generator renders and tarn does not
  // (HTML, Org, AsciiDoc, reStructuredText, Pandoc, Textile).
  static bool IsOtherContent(const std::filesystem::path& path);

  // path relative to base, with "/" separators, when it lies inside base
  // (compared lexically: no ".." step), "." when they are the same path;
  // "" when path is not inside base.
  static std::string Inside(const std::filesystem::path& path, const std::filesystem::path& base);

  // The regular files under root, in name order. A folder is entered when
  // enter(folder) says so; symbolic links are handed to on_link and not
  // followed, root among them when it, or a folder on its way, is one;
  // .git, .svn, .hg, .DS_Store and Thumbs.db are left out. A root that is
  // missing or unreadable has no files.
  static std::vector<std::filesystem::path> FilesUnder(const std::filesystem::path& root,
                                                       const EnterFolder& enter,
                                                       const OnLink& on_link);
};

}  // namespace tarn
