// SitemapBuilder: public/sitemap.xml in the sitemaps.org format, from the
// pages a build wrote.
//
// Locations are the site's address plus the page's path under public/,
// with every byte outside the unreserved URL characters percent-encoded
// (so any title or tag name gives a valid address) and then escaped for
// XML. lastmod is the date of the newest update a page shows.
//
// Thread safety: none.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class SiteRender;

class SitemapBuilder {
 public:
  // The build's step: public/sitemap.xml, listing the pages the build
  // noted (PublicFolder::Listed), when system.url is set and the theme asks
  // for pages beyond the three (or for the sitemap alone). True; a file
  // that cannot be written fails the build without stopping it.
  static bool Write(SiteRender& site);

  // path: relative to public/, "/" between folders ("tags/x/index.html").
  // updated: "yyyy-MM-dd HH:mm:ss" or "" (no lastmod).
  void Add(std::string_view path, std::string_view updated);

  // The document; site_url is the address of public/ (a trailing "/" is
  // dropped).
  std::string Text(std::string_view site_url) const;

  // path percent-encoded for a URL, "/" kept.
  static std::string EncodePath(std::string_view path);

  bool empty() const { return pages_.empty(); }

 private:
  struct Page {
    std::string path;
    std::string updated;
  };
  std::vector<Page> pages_;
};

}  // namespace tarn
