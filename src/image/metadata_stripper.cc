#include "image/metadata_stripper.h"

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

#include <filesystem>
#include <mutex>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using Outcome = ImageResult::Outcome;

constexpr char kOrientation[] = "Exif.Image.Orientation";

// exiv2's XMP toolkit must be set up once before threads use it; its
// warnings about odd files would go to standard error as they come (what
// matters comes back as the reason).
void Start() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
  });
}

// The Orientation tag's value, 0 when the file has none.
long OrientationOf(const Exiv2::ExifData& exif) {
  auto tag = exif.findKey(Exiv2::ExifKey(kOrientation));
  return tag == exif.end() ? 0 : tag->toLong();
}

// True when image holds metadata beyond a lone Orientation tag.
bool HasMetadata(Exiv2::Image& image) {
  const Exiv2::ExifData& exif = image.exifData();
  const long exif_count = static_cast<long>(exif.count());
  const bool orientation_only = exif_count == 1 && OrientationOf(exif) != 0;
  return (exif_count > 0 && !orientation_only) || !image.xmpData().empty() ||
         !image.xmpPacket().empty() || !image.iptcData().empty();
}

std::string FormatOf(int type) {
  switch (type) {
    case Exiv2::ImageType::jpeg:
      return "jpeg";
    case Exiv2::ImageType::png:
      return "png";
    case Exiv2::ImageType::webp:
      return "webp";
    default:
      return "";
  }
}

}  // namespace

ImageResult MetadataStripper::Strip(const std::string& source, const std::string& target) {
  Start();
  ImageResult result;
  std::error_code ec;
  fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    result.reason = "cannot be copied to " + target + ": " + ec.message();
    return result;
  }
  try {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(target);
    const std::string format = image.get() ? FormatOf(image->imageType()) : "";
    if (format.empty()) {
      fs::remove(target, ec);
      result.reason = "is no JPEG, PNG or WebP file";
      return result;
    }
    image->readMetadata();
    if (!HasMetadata(*image)) {
      fs::remove(target, ec);
      result.outcome = Outcome::kPassThrough;
      return result;
    }
    const long orientation = OrientationOf(image->exifData());
    image->clearExifData();
    image->clearXmpData();
    image->clearXmpPacket();
    image->clearIptcData();
    if (orientation > 1 && orientation <= 8)
      image->exifData()[kOrientation] = static_cast<uint16_t>(orientation);
    image->writeMetadata();
    result.outcome = Outcome::kProcessed;
    result.original = fs::path(target).filename().string();
    result.variants.push_back({result.original, format, 0, 0});
  } catch (const Exiv2::AnyError& error) {
    result.reason = std::string("its metadata cannot be read or removed (") + error.what() + ")";
  } catch (const std::exception& error) {
    result.reason = std::string("its metadata cannot be read or removed (") + error.what() + ")";
  }
  if (result.outcome != Outcome::kProcessed) fs::remove(target, ec);
  return result;
}

}  // namespace tarn
