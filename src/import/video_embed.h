// VideoEmbed: what an imported post shows in place of a video player of
// another site: plain HTML, a link to the video around a placeholder for
// its thumbnail, with classes a theme can style ("video-embed",
// "video-embed-thumb", "video-embed-label"). Nothing is loaded from the
// video's site until the reader follows the link: no frame, no script, no
// image.
//
// Thread safety: pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class VideoEmbed {
 public:
  // The embed of the YouTube or Vimeo video id (service "youtube" or
  // "vimeo"); "" when the service is another or id holds other bytes than
  // letters, digits, "_" and "-".
  static std::string Html(std::string_view service, std::string_view id);

  // text with &, <, >, " and ' written as HTML references, for an
  // attribute value or element text.
  static std::string Escaped(std::string_view text);
};

}  // namespace tarn
