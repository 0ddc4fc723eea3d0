// StylesheetFonts: the font files a stylesheet makes a browser load, for a
// page's weight: of each @font-face's src list the first url(), the one a
// browser that reads the first format takes (the others are fallbacks it
// never fetches). Other url()s (backgrounds) and @import are not followed.
//
// Thread safety: no state; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class StylesheetFonts {
 public:
  // The addresses as written (quotes removed), in order; none for a text
  // without @font-face.
  static std::vector<std::string> Of(std::string_view css);
};

}  // namespace tarn
