// MetadataStripper: a photo's metadata removed without touching its
// pixels, for a site whose theme publishes static/ images as they are. The
// file's EXIF, XMP and IPTC blocks go (GPS position, camera serial, owner,
// dates); the ICC colour profile stays, and so does the EXIF Orientation
// tag, alone in a minimal EXIF block, so that a turned photo still shows
// upright without its pixels being decoded and encoded again. Everything
// else of the file (JPEG scan data, PNG image chunks, WebP bitstream) is
// copied byte for byte by exiv2, which rewrites the metadata segments only.
//
// It is built into the module tarn-images beside VipsImageProcessor, which
// links exiv2; tarn's executables reach it through ImageProcessor's
// StripMetadata.
//
// Thread safety: Strip may be called from many threads at once.
#pragma once

#include <string>

#include "image/image_processor.h"

namespace tarn {

class MetadataStripper {
 public:
  // Writes to target a copy of the JPEG, PNG or WebP file at source
  // without its metadata (see above). kProcessed with a variant naming
  // target's file name; kPassThrough when the file has nothing to remove
  // (target not written); kUndecodable with the reason when it cannot be
  // parsed or target cannot be written (target then removed).
  static ImageResult Strip(const std::string& source, const std::string& target);
};

}  // namespace tarn
