// VipsImageProcessor: the ImageProcessor on libvips. JPEG, PNG and WebP
// files are processed; GIF files and animated images (more than one page)
// pass through. A file is recognised by its content: one whose content is
// another format than its name says, or none libvips reads, is
// kUndecodable. The header is read before any pixel is decoded, and an
// image of more than settings.max_pixels is refused there.
//
// The image is decoded once, turned upright (EXIF orientation) and, unless
// settings.keep_metadata, stripped of every metadata field but the ICC
// profile before each copy is resized from it and saved.
//
// libvips is started once per process, when the first image is processed
// or ready() is first asked (a build that finds every image in its cache
// never starts it); its operation cache is switched off (every image is
// read once per build).
//
// It is built into the module tarn-images (with vips_module.cc), which
// links libvips; tarn's executables reach it through ModuleImageProcessor.
//
// Thread safety: Process may be called from many threads at once.
#pragma once

#include <string>

#include "image/image_processor.h"

namespace tarn {

class VipsImageProcessor : public ImageProcessor {
 public:
  // False with *error when libvips could not be started.
  bool ready(std::string* error) const override;
  // True when this libvips can write AVIF (libheif with an AV1 encoder).
  bool CanWriteAvif() const override;

  ImageResult Process(const std::string& source, const std::string& extension,
                      const ImageSettings& settings, const std::string& folder) override;
  // Without libvips: MetadataStripper (exiv2) does it.
  ImageResult StripMetadata(const std::string& source, const std::string& target) override;
  bool Shrink(const std::string& bytes, int max_side, std::size_t max_bytes, std::string* out,
              std::string* done) override;
};

}  // namespace tarn
