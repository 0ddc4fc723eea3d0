// MarkdownPages: the blogger's pages that are not posts, one per Markdown
// file of _pages/ (an about page, a list of projects), each at its own
// address, from the theme's page.mtpl or, for a theme without one, its
// post.mtpl. The template sees the page as post.* (PostView), as an
// article sees its post; its tags and categories lead nowhere, since no
// tag page lists a page.
//
// A page's address is public/NAME/index.html for _pages/NAME.md, NAME being
// its front matter's slug where it has one (the address "/NAME/", which Hugo
// and Hexo give such pages, at the depth of the article pages, so that links
// written as a post writes them, ../images/x.png, work unchanged), or its
// front matter's "permalink", read as an alias is (AliasPages::OutputOf:
// "/about.html" is that file, "/me/" is me/index.html). Relative links of
// the page's HTML that climb out of the articles' folder ("../") are given
// the page's own root path, so they lead to the same files from a permalink
// at another depth.
//
// Pages are in no list, feed, tag, category, search index or database.json;
// the sitemap lists them. Drafts stay out as draft posts do. The files of
// the last build's pages that this build does not write (a page deleted,
// moved or made a draft) are removed, as stale articles are (PublicRecord
// keeps them). A page whose address would leave public/, or whose file the
// build already writes (the index, an article, a theme page), is reported by
// its file and skipped. A page's "aliases" get redirect pages to it, as a
// post's do (AliasPages).
//
// Thread safety: the build's thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class SiteRender;

class MarkdownPages {
 public:
  // The build's step. True; a page that does not convert, render or write
  // is reported and fails the build without stopping it.
  static bool Write(SiteRender& site);

  // The file a page goes to, relative to public/: its permalink's file,
  // else SLUG/index.html; "" with *why when the permalink is refused.
  static std::string OutputOf(std::string_view slug, std::string_view permalink, std::string* why);

  // html with each href="../ and src="../ starting from root_path instead
  // (root_path "." gives "./"); for a page whose depth is not an
  // article's.
  static std::string RebaseLinks(std::string_view html, std::string_view root_path);
};

}  // namespace tarn
