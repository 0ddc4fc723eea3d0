// AliasPages: small redirect pages at a post's old addresses (front matter
// "aliases"), so that links from before a move to this blog keep working.
//
// An alias is a site-relative path such as "/2019/03/05/hello/" or
// "/posts/hello.html". One ending in ".html" or ".htm" is written as that
// file; any other is a folder and gets an index.html. Each page sends the
// reader on at once (meta refresh, relative to the page, so it works on any
// host) and names the article as canonical.
//
// Thread safety: the functions keep no state.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "content/post_index.h"
#include "data/diagnostics.h"

namespace tarn {

class AliasPages {
 public:
  // The file an alias is written to, relative to public/, percent-escapes
  // decoded; "" with *why set when it would leave public/ (a ".." step) or
  // cannot be a file name (a query, a backslash, a control character).
  static std::string OutputOf(std::string_view alias, std::string* why);

  // The link from a page at output (relative to public/) to the article
  // of slug: "../../articles/SLUG.html".
  static std::string RelativeLink(std::string_view output, std::string_view slug);

  // The redirect page: refresh to href, canonical link to canonical.
  static std::string Page(std::string_view title, std::string_view href,
                          std::string_view canonical);

  // Writes the pages of every post's aliases under public_dir. An alias that
  // is refused, or whose file is in *generated (written by the build, or by
  // an earlier alias), is reported and skipped; the files written are added
  // to *generated. Returns the number of pages written; write failures are
  // reported.
  static int Write(const std::string& public_dir, const std::vector<PostFile>& posts,
                   const std::string& site_url, std::set<std::string>* generated,
                   const DiagnosticSink& sink);
};

}  // namespace tarn
