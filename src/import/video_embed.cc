#include "import/video_embed.h"

#include <glib.h>

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
  gchar* escaped = g_markup_escape_text(text.data(), static_cast<gssize>(text.size()));
  std::string out(escaped);
  g_free(escaped);
  return out;
}

}  // namespace tarn
