// ImageProcessor: turns one photo into the copies a site publishes: the
// same picture at a few widths in AVIF and WebP, and in its own format at
// the largest of them, with its orientation applied and, unless asked to
// keep it, every piece of metadata but the colour profile removed (no
// position, no camera serial); or, for a site that publishes its images as
// they are, the same file with its metadata removed and its pixels as they
// were (StripMetadata). The build asks through this interface; the
// libvips implementation does the work (VipsImageProcessor, in a module
// that ModuleImageProcessor loads on first use), and a caller's unit test
// may hand in a fake.
//
// What is not processed comes back as a typed outcome, never a message to
// search: a file to pass through untouched (animated, or a format the
// pipeline does not make variants of), one that cannot be decoded or is
// not what its name says, and one refused before decoding for its size (a
// decompression bomb).
//
// Thread safety: Process and StripMetadata may be called from many threads
// at once.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarn {

// How images are processed; part of what the cache keys an entry by.
struct ImageSettings {
  std::vector<int> widths = {480, 960, 1600};  // ascending; never upscaled
  int quality = 75;                            // AVIF, WebP and JPEG
  bool keep_metadata = false;                  // keep EXIF, XMP, IPTC as they are
  // No copies made: the file's metadata removed alone (StripMetadata).
  bool strip_only = false;
  // Images with more pixels than this are refused before decoding.
  long long max_pixels = 100LL * 1000 * 1000;

  // The settings as one line, for the cache key.
  std::string Key() const;
  // The widths made of an image width pixels wide: those of widths below
  // it, then the largest of widths or width itself, whichever is smaller;
  // just width for an image narrower than all of them.
  std::vector<int> WidthsFor(int width) const;
};

// One file written: its name in the output folder, its format ("avif",
// "webp", "jpeg", "png") and its size in pixels.
struct ImageVariant {
  std::string file;
  std::string format;
  int width = 0;
  int height = 0;
};

struct ImageResult {
  enum class Outcome {
    kProcessed,    // variants written
    kPassThrough,  // published as it is: animated, or no format to vary
    kUndecodable,  // cannot be read, or its content is not what its name says
    kRefused,      // too many pixels to decode
    kUnavailable,  // the processor cannot run here (reason says why)
  };
  Outcome outcome = Outcome::kUndecodable;
  int width = 0;   // as shown, orientation applied
  int height = 0;  // 0 when the header could not be read
  std::vector<ImageVariant> variants;
  // The original-format copy at the largest width, one of variants.
  std::string original;
  // Why it was not processed (kUndecodable, kRefused): "what is wrong".
  std::string reason;
};

class ImageProcessor {
 public:
  virtual ~ImageProcessor() = default;

  // False with *error (when given) when the processor cannot work here (its
  // library cannot be loaded or started); Process then reports every image
  // as kUnavailable and Shrink does nothing. Any thread.
  virtual bool ready(std::string* error) const = 0;
  // True when it can write AVIF (else it writes WebP copies alone).
  virtual bool CanWriteAvif() const = 0;

  // Processes the image file at source, whose name ends in extension
  // ("jpg", lower case), writing its variants into the existing folder
  // folder as "W.avif", "W.webp" and "original.EXT". A failure to write is
  // kUndecodable with the reason; the folder may then hold some files.
  virtual ImageResult Process(const std::string& source, const std::string& extension,
                              const ImageSettings& settings, const std::string& folder) = 0;

  // Writes to target (a file in an existing folder) the JPEG, PNG or WebP
  // file at source with its EXIF, XMP and IPTC metadata removed, keeping
  // its pixels byte for byte, its ICC colour profile and its EXIF
  // Orientation tag: for a site that publishes its images as they are.
  // kProcessed with the one variant target's file name; kPassThrough when
  // there is nothing to remove (target not written); kUndecodable with the
  // reason when the file cannot be parsed or target not written;
  // kUnavailable when the processor cannot run here. Any thread.
  virtual ImageResult StripMetadata(const std::string& source, const std::string& target) = 0;

  // A photo put into the editor (bytes of a JPEG, PNG or WebP file), made
  // fit to keep: when its long side is over max_side pixels or it has more
  // than max_bytes, *out gets it scaled down to max_side on its long side
  // (never up), upright, with every piece of metadata but the colour
  // profile removed, in its own format, and *done says what was done
  // ("4000x3000 -> 2560x1920, metadata removed"). False, *out untouched,
  // when nothing needed doing or bytes are no such photo.
  virtual bool Shrink(const std::string& bytes, int max_side, std::size_t max_bytes,
                      std::string* out, std::string* done) = 0;
};

}  // namespace tarn
