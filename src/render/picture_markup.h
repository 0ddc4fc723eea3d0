// PictureMarkup: the responsive markup of a post's images. Each <img> tag
// of converted HTML whose src names an image the build processed becomes
//
//   <picture><source type="image/avif" srcset="A.480.avif 480w, ..." sizes=S>
//   <source type="image/webp" srcset=... sizes=S><img ...as written...
//   width=W height=H loading="lazy" decoding="async"></picture>
//
// (one line), W and H the size of the file src names. The first image of
// an article is its largest paint more often than not: it gets
// fetchpriority="high" instead of loading="lazy". A variant's address is
// src with its extension replaced by ".WIDTH.FORMAT", so it is relative or
// absolute, and encoded, exactly as src is. Anything else in the HTML,
// other tags and images not processed, is left byte for byte.
//
// Only <img ...> tags are read, attribute by attribute (quoted or not);
// an <img> that already has srcset or sits in a <picture> is left alone.
//
// Thread safety: the functions keep no state.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "image/image_processor.h"

namespace tarn {

class PictureMarkup {
 public:
  // What a processed image offers: the size of the file src names and
  // every variant (ImageVariant::file unused here).
  struct Image {
    int width = 0;
    int height = 0;
    std::vector<ImageVariant> variants;
  };
  // The image src names (an attribute's text, entities as written), or
  // nullptr when it was not processed.
  using Finder = std::function<const Image*(std::string_view src)>;

  struct Options {
    std::string sizes;         // the sizes attribute
    bool first_eager = false;  // the first image is not lazy (an article)
  };

  // html with the images find knows rewritten. Appends to *missing_alt
  // (when given) the src of each such image without alt text.
  static std::string Rewrite(std::string_view html, const Finder& find, const Options& options,
                             std::vector<std::string>* missing_alt = nullptr);

  // The value of attribute name in tag ("<img ...>"), as written; false
  // when the tag does not have it.
  static bool Attribute(std::string_view tag, std::string_view name, std::string* value);
};

}  // namespace tarn
