#include "render/feed_address.h"

#include <glib.h>

#include <cstring>

namespace tarn {
namespace {

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The attributes whose values are addresses a reader follows or loads.
constexpr const char* kAddressAttributes[] = {" href=\"", " src=\""};

// The address resolved against base, or "" when it cannot be.
std::string Resolved(const std::string& address, const std::string& base) {
  GError* error = nullptr;
  char* resolved =
      g_uri_resolve_relative(base.c_str(), address.c_str(), G_URI_FLAGS_ENCODED, &error);
  if (resolved == nullptr) {
    g_clear_error(&error);
    return "";
  }
  std::string result(resolved);
  g_free(resolved);
  return result;
}

// Where the next address attribute's value starts at or after from, and its
// end (the closing quote); npos when there is none.
std::size_t NextAddress(std::string_view html, std::size_t from, std::size_t* end) {
  std::size_t best = std::string_view::npos;
  for (const char* attribute : kAddressAttributes) {
    std::size_t at = html.find(attribute, from);
    if (at != std::string_view::npos && at < best) best = at + std::strlen(attribute);
  }
  if (best == std::string_view::npos) return best;
  *end = html.find('"', best);
  return *end == std::string_view::npos ? std::string_view::npos : best;
}

}  // namespace

std::string FeedAddress::Encoded(std::string_view address) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(address.size());
  for (std::size_t i = 0; i < address.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(address[i]);
    const bool escape_start =
        c == '%' && i + 2 < address.size() && IsHex(address[i + 1]) && IsHex(address[i + 2]);
    const bool keep =
        (c > 0x20 && c < 0x7F && std::strchr("\"<>\\^`{|}%", c) == nullptr) || escape_start;
    if (keep) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

std::string FeedAddress::Of(std::string_view site_url, std::string_view path) {
  if (site_url.empty()) return "";
  std::string address(site_url);
  address.push_back('/');
  address.append(path);
  return Encoded(address);
}

std::string FeedAddress::Id(const std::string& address, std::string_view path) {
  return address.empty() ? "urn:tarn:" + Encoded(path) : address;
}

std::string FeedAddress::Absolute(std::string_view html, std::string_view base) {
  const std::string encoded_base = Encoded(base);
  std::string out;
  out.reserve(html.size() + html.size() / 8);
  std::size_t pos = 0;
  std::size_t end = 0;
  for (std::size_t start = NextAddress(html, pos, &end); start != std::string_view::npos;
       start = NextAddress(html, pos, &end)) {
    out.append(html.substr(pos, start - pos));
    const std::string address = Encoded(html.substr(start, end - start));
    const std::string resolved = Resolved(address, encoded_base);
    out.append(resolved.empty() ? address : resolved);
    pos = end;
  }
  out.append(html.substr(pos));
  return out;
}

}  // namespace tarn
