#include "import/video_embed.h"

namespace tarn {

std::string VideoEmbed::Html(std::string_view service, std::string_view id) {
  if (id.empty()) return "";
  for (char c : id) {
    bool fits = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '_' || c == '-';
    if (!fits) return "";
  }
  std::string url;
  std::string site;
  if (service == "youtube") {
    url = "https://www.youtube.com/watch?v=" + std::string(id);
    site = "YouTube";
  } else if (service == "vimeo") {
    url = "https://vimeo.com/" + std::string(id);
    site = "Vimeo";
  } else {
    return "";
  }
  return "<a class=\"video-embed\" href=\"" + url +
         "\"><span class=\"video-embed-thumb\" aria-hidden=\"true\">&#9654;</span>"
         "<span class=\"video-embed-label\">Watch the video on " +
         site + "</span></a>";
}

std::string VideoEmbed::Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace tarn
