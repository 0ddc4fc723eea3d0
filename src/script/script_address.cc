#include "script/script_address.h"

#include <glib.h>

#include <filesystem>

namespace tarn {
namespace {

// The scheme before the first ':', lower-cased; false when there is none.
bool HasScheme(std::string_view url, std::string* scheme) {
  size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;  // "C:" is no scheme
  for (size_t i = 0; i < colon; ++i) {
    char c = url[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    if (!ok) return false;
  }
  scheme->clear();
  for (size_t i = 0; i < colon; ++i) scheme->push_back(static_cast<char>(g_ascii_tolower(url[i])));
  return true;
}

// A URL path as a file name: query and fragment dropped, "%XX" decoded.
std::string UrlPathToFileName(std::string_view path) {
  size_t cut = path.find_first_of("?#");
  if (cut != std::string_view::npos) path = path.substr(0, cut);
  std::string out;
  for (size_t i = 0; i < path.size(); ++i) {
    char c = path[i];
    if (c == '%' && i + 2 < path.size() && g_ascii_isxdigit(path[i + 1]) &&
        g_ascii_isxdigit(path[i + 2])) {
      out.push_back(static_cast<char>(g_ascii_xdigit_value(path[i + 1]) * 16 +
                                      g_ascii_xdigit_value(path[i + 2])));
      i += 2;
    } else {
      out.push_back(c == '\\' ? '/' : c);
    }
  }
  return out;
}

std::string Trimmed(std::string_view s) {
  while (!s.empty() && g_ascii_isspace(s.front())) s.remove_prefix(1);
  while (!s.empty() && g_ascii_isspace(s.back())) s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

ScriptAddress ScriptAddress::Resolve(std::string_view src, const std::string& page_folder) {
  ScriptAddress address;
  address.src = Trimmed(src);
  std::string scheme;
  if (address.src.empty()) {
    address.kind = Kind::kEmpty;
    return address;
  }
  if (address.src.rfind("//", 0) == 0 ||
      (HasScheme(address.src, &scheme) && (scheme == "http" || scheme == "https"))) {
    address.kind = Kind::kRemote;
    return address;
  }
  if (!scheme.empty() && scheme != "file") {
    address.kind = Kind::kNotAFile;
    return address;
  }
  std::string path = address.src;
  if (scheme == "file") {
    path = path.substr(5);
    if (path.rfind("//localhost/", 0) == 0)
      path = path.substr(11);
    else if (path.rfind("//", 0) == 0)
      path = path.substr(2);
  }
  path = UrlPathToFileName(path);
  std::filesystem::path resolved = (!path.empty() && path[0] == '/')
                                       ? std::filesystem::path(path)
                                       : std::filesystem::path(page_folder) / path;
  address.kind = Kind::kFile;
  address.file = resolved.lexically_normal().string();
  return address;
}

}  // namespace tarn
