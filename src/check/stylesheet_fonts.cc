#include "check/stylesheet_fonts.h"

namespace tarn {
namespace {

// The address of the url( at open, quotes and spaces removed.
std::string UrlAt(std::string_view css, std::size_t open) {
  std::size_t start = open + 4;
  std::size_t close = css.find(')', start);
  if (close == std::string_view::npos) return "";
  std::string_view url = css.substr(start, close - start);
  while (!url.empty() && (url.front() == ' ' || url.front() == '"' || url.front() == '\''))
    url.remove_prefix(1);
  while (!url.empty() && (url.back() == ' ' || url.back() == '"' || url.back() == '\''))
    url.remove_suffix(1);
  return std::string(url);
}

}  // namespace

std::vector<std::string> StylesheetFonts::Of(std::string_view css) {
  std::vector<std::string> fonts;
  for (std::size_t face = css.find("@font-face"); face != std::string_view::npos;
       face = css.find("@font-face", face + 1)) {
    std::size_t end = css.find('}', face);
    std::string_view block = css.substr(face, end == std::string_view::npos ? end : end - face);
    std::size_t src = block.find("src:");
    if (src == std::string_view::npos) src = block.find("src :");
    if (src == std::string_view::npos) continue;
    std::size_t open = block.find("url(", src);
    if (open == std::string_view::npos) continue;
    std::string url = UrlAt(block, open);
    if (!url.empty()) fonts.push_back(url);
  }
  return fonts;
}

}  // namespace tarn
