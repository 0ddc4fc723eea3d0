// ResponsiveImages: the build's image step, for a theme that asks for it
// ("images": {"responsive": true} in _conf.json), and the table of what it
// published, for the pages' <picture> markup (PictureMarkup).
//
// The step processes every JPEG, PNG and WebP file in static/ on all cores
// (image/image_processor.h: upright, metadata but the colour profile
// removed unless "images": {"keepMetadata": true}, or a post showing it says
// keepImageMetadata: true in its front matter), keeping the results in
// .tarn/images/ (image/image_cache.h), so an unchanged image is not decoded
// again. It publishes, for static/DIR/NAME.EXT:
//
//   public/DIR/NAME.EXT          the original's format, at the largest width
//   public/DIR/NAME.W.avif       for each width W (480, 960, 1600, never
//   public/DIR/NAME.W.webp       wider than the image)
//
// beside the original, so that the original's address keeps working and a
// variant's address is the original's with its extension replaced. The
// files it published are listed in .tarn/images/published; the next build
// removes those it no longer makes (an image deleted or changed). Static
// files copied after it give way to what it published, silently. A GIF, an
// animated image or an SVG is left to the static copy; so is a file that
// cannot be decoded, is not what its name says or has too many pixels to
// decode, with a warning naming it.
//
// Without the theme's key no copies are made and every page is written as
// without the step, but no image goes out with where it was taken: each
// JPEG, PNG and WebP file of static/ that holds EXIF, XMP or IPTC metadata
// is published as public/DIR/NAME.EXT with that metadata removed and its
// pixels, ICC colour profile and EXIF Orientation tag as they were
// (ImageProcessor::StripMetadata), cached in .tarn/images/ alike. A file
// with none is left to the static copy, byte for byte; so, with a warning
// naming it, is one whose metadata cannot be parsed. The same opt-outs
// keep the metadata: the theme's "keepMetadata", a post's
// keepImageMetadata.
//
// Thread safety: one thread, the build's (the step runs its own workers).
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "render/picture_markup.h"

namespace tarn {

class SiteRender;
struct PostFile;

class ResponsiveImages {
 public:
  // Where the markup goes: an article's page (first image eager, missing
  // alt text reported), an excerpt on a list page, a feed (addresses
  // absolute).
  enum class Place { kArticle, kExcerpt, kFeed };

  // The step (render/site_builder.cc); reports what fails, returns true.
  static bool Write(SiteRender& site);

  // The file under public/ an address in a post names (relative to its
  // article, or from the site's root, or starting with site_url); "" for
  // an address elsewhere.
  static std::string PublicPath(std::string_view src, std::string_view site_url);

  // True when the step published public/relative itself.
  bool Published(const std::string& relative) const { return published_.count(relative) > 0; }

  // True when pages get <picture> markup (the theme asks, and images were
  // processed) or a post may name an image that was not processed.
  bool Marks() const { return !images_.empty() || !unprocessed_.empty(); }

  // Reports each image that could not be processed and that no article
  // named (those an article names are reported with the post). For the
  // last step, once every article has rendered.
  void ReportUnnamed(SiteRender& site) const;

  // html of post (its article HTML, an excerpt of it, or a feed's copy
  // whose addresses start with site_url) with its processed images
  // marked up. For kArticle, reports an image without alt text, and one
  // that could not be processed, naming the post and the file.
  std::string Markup(SiteRender& site, const PostFile& post, std::string_view html,
                     Place place) const;

 private:
  void Publish(SiteRender& site, const std::string& relative, const std::string& entry,
               const struct ImageResult& result);
  // Publishes the image's copy without its metadata (a theme without the
  // key); an image with none is left to the static copy.
  void PublishStripped(SiteRender& site, const std::string& relative, const std::string& entry,
                       const struct ImageResult& result);

  // Publishes the cache's file as public/target, noting it; false when it
  // cannot be written (the build fails, naming shown, the source).
  bool PutCopy(SiteRender& site, const std::string& file, const std::string& target,
               const std::string& shown);

  std::map<std::string, PictureMarkup::Image, std::less<>> images_;  // by public/ path
  std::set<std::string> published_;
  // Images that could not be processed, by public/ path: why, and whether
  // an article named them (reported then).
  struct Unprocessed {
    std::string reason;
    mutable bool named = false;
  };
  std::map<std::string, Unprocessed> unprocessed_;
  std::string sizes_;
};

}  // namespace tarn
