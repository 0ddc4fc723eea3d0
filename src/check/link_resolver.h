// LinkResolver: where a link written on a generated page leads. Links are
// resolved as a browser resolves them, against the page's own address under
// the site's address (system.url, or a stand-in host when the blog names
// none); a link that lands on the site's host under its base path is a file
// of public/ ("x/" is x/index.html, percent-escapes decoded), whether it was
// written relatively or as the site's full address.
//
// Thread safety: a value; Resolve may run on any thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

struct LinkTarget {
  enum class Kind {
    kSkipped,   // mailto:, tel:, javascript:, data:, or not an address at all
    kInternal,  // file (relative to public/) and fragment are set
    kExternal,  // url is the absolute address
  };
  Kind kind = Kind::kSkipped;
  std::string file;
  std::string fragment;  // decoded; "" when the link names none
  std::string url;
};

class LinkResolver {
 public:
  // site_url: system.url as written ("https://example.com/blog"); "" or an
  // address that does not parse stands for a site at a host of its own.
  explicit LinkResolver(std::string_view site_url);

  // Where link, written on the page at page (relative to public/, as
  // "articles/x.html"), leads.
  LinkTarget Resolve(std::string_view page, std::string_view link) const;

 private:
  std::string origin_;     // "https://example.com"
  std::string base_path_;  // "/blog/": always starts and ends with '/'
};

}  // namespace tarn
