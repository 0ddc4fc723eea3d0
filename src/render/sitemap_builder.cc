#include "render/sitemap_builder.h"

#include <cctype>

#include "data/markup_escape.h"
#include "render/site_render.h"

namespace tarn {
namespace {

std::string EscapeXml(std::string_view text) {
  std::string out;
  for (char c : text) {
    // Control characters have no place in XML 1.0; none is left in an
    // encoded path, but the site address is the blogger's text.
    if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
      AppendEscapedChar(c, MarkupSlot::kXml, &out);
  }
  return out;
}

// "2024-05-01" from "2024-05-01 10:00:00"; "" for anything else.
std::string DateOf(std::string_view updated) {
  if (updated.size() < 10) return "";
  for (size_t i = 0; i < 10; ++i) {
    bool dash = i == 4 || i == 7;
    if (dash ? updated[i] != '-' : !std::isdigit(static_cast<unsigned char>(updated[i]))) return "";
  }
  return std::string(updated.substr(0, 10));
}

}  // namespace

void SitemapBuilder::Add(std::string_view path, std::string_view updated) {
  pages_.push_back(Page{std::string(path), std::string(updated)});
}

std::string SitemapBuilder::EncodePath(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : path) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string SitemapBuilder::Text(std::string_view site_url) const {
  while (!site_url.empty() && site_url.back() == '/') site_url.remove_suffix(1);
  std::string base = EscapeXml(site_url);
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
  for (const Page& page : pages_) {
    out += "<url><loc>" + base + "/" + EncodePath(page.path) + "</loc>";
    std::string date = DateOf(page.updated);
    if (!date.empty()) out += "<lastmod>" + date + "</lastmod>";
    out += "</url>\n";
  }
  out += "</urlset>\n";
  return out;
}

bool SitemapBuilder::Write(SiteRender& site) {
  std::string url = site.data().GetText("system.url");
  const SitemapBuilder& sitemap = site.out().sitemap();
  if (url.empty() || sitemap.empty() || !site.features().Any()) return true;
  site.out().Write("sitemap.xml", sitemap.Text(url));
  return true;
}

}  // namespace tarn
