// AliasPages: small redirect pages at a post's old addresses (front matter
// "aliases"), so that links from before a move to this blog keep working;
// a page of _pages/ may have them too, and they lead to it.
//
// An alias is a site-relative path such as "/2019/03/05/hello/" or
// "/posts/hello.html". One ending in ".html" or ".htm" is written as that
// file; any other is a folder and gets an index.html. Each page sends the
// reader on at once (meta refresh, relative to the page, so it works on any
// host) and names the article as canonical.
//
// Thread safety: the functions keep no state.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class SiteRender;

class AliasPages {
 public:
  // The file an alias is written to, relative to public/, percent-escapes
  // decoded; "" with *why set when it would leave public/ (a ".." step),
  // reach the deploy repository (a ".git" step) or cannot be a file name
  // (a query, a backslash, a control character).
  static std::string OutputOf(std::string_view alias, std::string* why);

  // Why a page the build adds at output (relative to public/, as OutputOf
  // gives it) would clash with the build's own files: "would overwrite
  // public/OUTPUT, which the build writes", "would turn public/FOLDER, a
  // file of static/, into a folder"; "" when it does not.
  static std::string Clash(SiteRender& site, const std::string& output);

  // The link from a page at output (relative to public/) to the file
  // target, also relative to public/ and given as a link
  // (PostIndex::LinkName): "../../articles/SLUG.html".
  static std::string RelativeLink(std::string_view output, std::string_view target);

  // The redirect page: refresh to href, canonical link to canonical.
  static std::string Page(std::string_view title, std::string_view href,
                          std::string_view canonical);

  // The build's step: the pages of every post's aliases, and of every page
  // of _pages/ the build wrote (SiteRender::written_pages). An alias that is
  // refused, whose file the build generated (its own page, or an earlier
  // alias), or whose path would make a folder of a file the build writes or
  // of a file in static/, is reported and skipped; the pages written are
  // noted as generated and as this build's alias pages. The last build's
  // alias pages that no published post asks for any more are removed, as
  // stale articles are. True; a page that cannot be written is reported.
  static bool Write(SiteRender& site);
};

}  // namespace tarn
