#include "render/picture_markup.h"

#include <cctype>

namespace tarn {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool StartsWithTag(std::string_view html, std::size_t at, std::string_view name) {
  if (html.size() < at + 1 + name.size() + 1 || html[at] != '<') return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(html[at + 1 + i])) != name[i]) return false;
  char after = html[at + 1 + name.size()];
  return IsSpace(after) || after == '>' || after == '/';
}

// The end (one past '>') of the tag starting at at, quotes respected;
// npos when it does not end.
std::size_t TagEnd(std::string_view html, std::size_t at) {
  char quote = 0;
  for (std::size_t i = at + 1; i < html.size(); ++i) {
    char c = html[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

// src up to its extension: "a/b.jpg" -> "a/b"; src itself when its last
// step has no extension.
std::string_view Stem(std::string_view src) {
  std::size_t slash = src.rfind('/');
  std::size_t dot = src.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return src;
  return src.substr(0, dot);
}

std::string SrcSet(std::string_view src, const PictureMarkup::Image& image,
                   std::string_view format) {
  std::string set;
  for (const ImageVariant& v : image.variants) {
    if (v.format != format) continue;
    if (!set.empty()) set += ", ";
    set += std::string(Stem(src)) + "." + std::to_string(v.width) + "." + v.format + " " +
           std::to_string(v.width) + "w";
  }
  return set;
}

// The <picture> for the <img> tag, which names image by src.
std::string Picture(std::string_view tag, std::string_view src, const PictureMarkup::Image& image,
                    const std::string& sizes, bool eager) {
  std::string picture = "<picture>";
  for (const char* format : {"avif", "webp"}) {
    std::string set = SrcSet(src, image, format);
    if (set.empty()) continue;
    picture += std::string("<source type=\"image/") + format + "\" srcset=\"" + set +
               "\" sizes=\"" + sizes + "\">";
  }
  // The tag as written, its end kept ("/>" or ">"), the attributes it
  // lacks added before it.
  std::size_t end = tag.size() - 1;
  while (end > 0 && (tag[end - 1] == '/' || IsSpace(tag[end - 1]))) --end;
  std::string extra;
  std::string ignored;
  if (!PictureMarkup::Attribute(tag, "width", &ignored) &&
      !PictureMarkup::Attribute(tag, "height", &ignored))
    extra += " width=\"" + std::to_string(image.width) + "\" height=\"" +
             std::to_string(image.height) + "\"";
  if (!PictureMarkup::Attribute(tag, "loading", &ignored))
    extra += eager ? " fetchpriority=\"high\"" : " loading=\"lazy\"";
  if (!PictureMarkup::Attribute(tag, "decoding", &ignored)) extra += " decoding=\"async\"";
  picture += std::string(tag.substr(0, end)) + extra + std::string(tag.substr(end));
  return picture + "</picture>";
}

}  // namespace

bool PictureMarkup::Attribute(std::string_view tag, std::string_view name, std::string* value) {
  std::size_t i = tag.find_first_of(" \t\n\r\f/>");
  while (i < tag.size()) {
    while (i < tag.size() && (IsSpace(tag[i]) || tag[i] == '/')) ++i;
    std::size_t start = i;
    while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '=' && tag[i] != '>' && tag[i] != '/')
      ++i;
    std::string_view key = tag.substr(start, i - start);
    if (key.empty()) return false;
    std::string_view text;
    while (i < tag.size() && IsSpace(tag[i])) ++i;
    if (i < tag.size() && tag[i] == '=') {
      ++i;
      while (i < tag.size() && IsSpace(tag[i])) ++i;
      if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
        std::size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos) return false;
        text = tag.substr(i + 1, close - i - 1);
        i = close + 1;
      } else {
        start = i;
        while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '>') ++i;
        text = tag.substr(start, i - start);
      }
    }
    bool same = key.size() == name.size();
    for (std::size_t k = 0; same && k < key.size(); ++k)
      same = std::tolower(static_cast<unsigned char>(key[k])) == name[k];
    if (same) {
      *value = std::string(text);
      return true;
    }
  }
  return false;
}

std::string PictureMarkup::Rewrite(std::string_view html, const Finder& find,
                                   const Options& options, std::vector<std::string>* missing_alt) {
  std::string out;
  std::size_t copied = 0;
  int pictures = 0;  // open <picture> elements written by hand
  bool first = true;
  for (std::size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
    if (StartsWithTag(html, at, "picture")) ++pictures;
    if (html.compare(at, 10, "</picture>") == 0 && pictures > 0) --pictures;
    if (!StartsWithTag(html, at, "img")) continue;
    std::size_t end = TagEnd(html, at);
    if (end == std::string_view::npos) break;
    std::string_view tag = html.substr(at, end - at);
    std::string src;
    std::string ignored;
    const Image* image = nullptr;
    if (pictures == 0 && !Attribute(tag, "srcset", &ignored) && Attribute(tag, "src", &src))
      image = find(src);
    if (!image) continue;
    std::string alt;
    if (missing_alt && (!Attribute(tag, "alt", &alt) || alt.empty())) missing_alt->push_back(src);
    out.append(html.substr(copied, at - copied));
    out += Picture(tag, src, *image, options.sizes, options.first_eager && first);
    first = false;
    copied = end;
    at = end - 1;
  }
  if (copied == 0) return std::string(html);
  out.append(html.substr(copied));
  return out;
}

}  // namespace tarn
