#include "check/link_resolver.h"

#include <glib.h>

#include <memory>

namespace tarn {
namespace {

constexpr char kStandInOrigin[] = "http://site.invalid";
constexpr GUriFlags kFlags =
    static_cast<GUriFlags>(G_URI_FLAGS_PARSE_RELAXED | G_URI_FLAGS_ENCODED);

using UriPtr = std::unique_ptr<GUri, decltype(&g_uri_unref)>;

UriPtr Parse(const std::string& text) {
  return UriPtr(g_uri_parse(text.c_str(), kFlags, nullptr), g_uri_unref);
}

std::string Unescape(const char* text) {
  if (!text) return "";
  char* plain = g_uri_unescape_string(text, nullptr);
  std::string result = plain ? plain : text;  // a stray '%' is kept as written
  g_free(plain);
  return result;
}

bool SkippedScheme(const char* scheme) {
  for (const char* skipped : {"mailto", "tel", "javascript", "data"})
    if (g_ascii_strcasecmp(scheme, skipped) == 0) return true;
  return false;
}

}  // namespace

LinkResolver::LinkResolver(std::string_view site_url) : origin_(kStandInOrigin), base_path_("/") {
  UriPtr uri = Parse(std::string(site_url));
  if (!uri || !g_uri_get_host(uri.get()) || !*g_uri_get_host(uri.get())) return;
  char* origin =
      g_uri_join(G_URI_FLAGS_ENCODED, g_uri_get_scheme(uri.get()), nullptr,
                 g_uri_get_host(uri.get()), g_uri_get_port(uri.get()), "", nullptr, nullptr);
  origin_ = origin;
  g_free(origin);
  base_path_ = g_uri_get_path(uri.get());
  if (base_path_.empty() || base_path_.front() != '/') base_path_.insert(0, "/");
  if (base_path_.back() != '/') base_path_ += '/';
}

LinkTarget LinkResolver::Resolve(std::string_view page, std::string_view link) const {
  LinkTarget target;
  char* escaped = g_uri_escape_string(std::string(page).c_str(), "/", false);
  std::string base = origin_ + base_path_ + escaped;
  g_free(escaped);
  std::size_t first = link.find_first_not_of(" \t\r\n");
  std::size_t last = link.find_last_not_of(" \t\r\n");
  std::string written(first == std::string_view::npos ? "" : link.substr(first, last - first + 1));
  char* absolute = g_uri_resolve_relative(base.c_str(), written.c_str(), kFlags, nullptr);
  if (!absolute) return target;
  target.url = absolute;
  g_free(absolute);
  UriPtr uri = Parse(target.url);
  if (!uri || SkippedScheme(g_uri_get_scheme(uri.get()))) return target;
  char* origin =
      g_uri_join(G_URI_FLAGS_ENCODED, g_uri_get_scheme(uri.get()), nullptr,
                 g_uri_get_host(uri.get()), g_uri_get_port(uri.get()), "", nullptr, nullptr);
  bool same_origin = origin && g_ascii_strcasecmp(origin, origin_.c_str()) == 0;
  g_free(origin);
  std::string path = g_uri_get_path(uri.get());
  if (!same_origin || path.compare(0, base_path_.size(), base_path_) != 0) {
    target.kind = LinkTarget::Kind::kExternal;
    return target;
  }
  target.kind = LinkTarget::Kind::kInternal;
  target.file = Unescape(path.c_str() + base_path_.size());
  if (target.file.empty() || target.file.back() == '/') target.file += "index.html";
  target.fragment = Unescape(g_uri_get_fragment(uri.get()));
  return target;
}

}  // namespace tarn
