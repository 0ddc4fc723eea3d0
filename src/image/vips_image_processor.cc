#include "image/vips_image_processor.h"

#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string_view>

#include "image/metadata_stripper.h"

namespace tarn {
namespace {

using Outcome = ImageResult::Outcome;

struct Startup {
  bool ok = false;
  bool avif = false;
  std::string error;
};

// Whether an AV1 encoder is there shows only by encoding.
bool ProbeAvif() {
  VipsImage* pixel = nullptr;
  if (vips_black(&pixel, 8, 8, "bands", 3, nullptr)) return false;
  void* buffer = nullptr;
  size_t length = 0;
  int failed = vips_heifsave_buffer(pixel, &buffer, &length, "compression",
                                    VIPS_FOREIGN_HEIF_COMPRESSION_AV1, nullptr);
  g_object_unref(pixel);
  g_free(buffer);
  vips_error_clear();
  return failed == 0 && length > 0;
}

const Startup& Start() {
  static Startup startup;
  static std::once_flag once;
  std::call_once(once, [] {
    if (VIPS_INIT("tarn")) {
      startup.error = std::string("libvips cannot start: ") + vips_error_buffer();
      vips_error_clear();
      return;
    }
    // A damaged file's warnings would go to standard error as they come;
    // what matters of them comes back as the image's reason.
    g_log_set_handler(
        "VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
        [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    // Each image is read once per build: a cache would only hold memory.
    vips_cache_set_max(0);
    vips_cache_set_max_mem(0);
    // Only the loaders of formats a site publishes, never the ones that
    // run external programs or parse formats no browser shows.
    vips_block_untrusted_set(TRUE);
    startup.ok = true;
    startup.avif = ProbeAvif();
  });
  return startup;
}

// The last libvips error, cleared, as a reason.
std::string VipsError() {
  std::string text = vips_error_buffer();
  vips_error_clear();
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text.empty() ? "libvips failed" : text;
}

// Owns one VipsImage.
struct Image {
  VipsImage* image = nullptr;
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() {
    if (image) g_object_unref(image);
  }
};

// The loader libvips names for a format, from the file's extension; "" for
// an extension this processor does not vary.
std::string_view LoaderFor(std::string_view extension) {
  if (extension == "jpg" || extension == "jpeg") return "jpegload";
  if (extension == "png") return "pngload";
  if (extension == "webp") return "webpload";
  return "";
}

// The format a loader reads ("jpegload_buffer", or by its class's name
// "VipsForeignLoadJpegBuffer"): "jpeg", "png", "webp", or "" for another.
std::string FormatOf(std::string_view loader) {
  gchar* lower = g_ascii_strdown(loader.data(), static_cast<gssize>(loader.size()));
  std::string name = lower;
  g_free(lower);
  if (name.rfind("vipsforeignload", 0) == 0) name.erase(0, std::strlen("vipsforeignload"));
  for (const char* format : {"jpeg", "png", "webp"})
    if (name.rfind(format, 0) == 0) return format;
  return "";
}

// Removes what may say where, when and with what a photo was taken; the
// ICC profile stays, so colours show as taken.
void RemoveMetadata(VipsImage* image) {
  gchar** fields = vips_image_get_fields(image);
  for (gchar** field = fields; *field; ++field) {
    std::string_view name(*field);
    if (name.rfind("exif-", 0) == 0 || name == "xmp-data" || name == "iptc-data" ||
        name == "orientation" || name.rfind("png-comment", 0) == 0)
      vips_image_remove(image, *field);
  }
  g_strfreev(fields);
}

// Saves image as format into path; false with *error.
bool Save(VipsImage* image, const std::string& format, const std::string& path, int quality,
          std::string* error) {
  const char* file = path.c_str();
  int failed = 0;
  if (format == "avif")
    failed = vips_heifsave(image, file, "compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1, "Q",
                           quality, "effort", 2, nullptr);
  else if (format == "webp")
    failed = vips_webpsave(image, file, "Q", quality, nullptr);
  else if (format == "jpeg")
    failed = vips_jpegsave(image, file, "Q", quality, "optimize_coding", TRUE, nullptr);
  else
    failed = vips_pngsave(image, file, nullptr);
  if (failed) *error = path + ": cannot be written: " + VipsError();
  return failed == 0;
}

// The header's verdict: whether the file is what its name says, how many
// pages and pixels it has. Fills *result except for kProcessed.
bool Admit(const std::string& source, std::string_view loader, const ImageSettings& settings,
           ImageResult* result) {
  const char* found = vips_foreign_find_load(source.c_str());
  if (!found) {
    vips_error_clear();
    result->outcome = Outcome::kUndecodable;
    result->reason = "is no image libvips can read";
    return false;
  }
  Image header;
  header.image = vips_image_new_from_file(source.c_str(), nullptr);
  if (!header.image) {
    result->outcome = Outcome::kUndecodable;
    result->reason = "cannot be read: " + VipsError();
    return false;
  }
  // The loader's nickname ("jpegload"), as the header names it.
  const char* used = nullptr;
  if (vips_image_get_string(header.image, VIPS_META_LOADER, &used) || !used) used = found;
  if (std::string_view(used).rfind(loader, 0) != 0) {
    result->outcome = Outcome::kUndecodable;
    result->reason = "holds another format than its name says (" + std::string(used) + ")";
    return false;
  }
  const bool swap = vips_image_get_orientation_swap(header.image);
  result->width = swap ? header.image->Ysize : header.image->Xsize;
  result->height = swap ? header.image->Xsize : header.image->Ysize;
  if (static_cast<long long>(header.image->Xsize) * header.image->Ysize > settings.max_pixels) {
    result->outcome = Outcome::kRefused;
    result->reason = "has " + std::to_string(header.image->Xsize) + "x" +
                     std::to_string(header.image->Ysize) + " pixels, more than the " +
                     std::to_string(settings.max_pixels / 1000000) +
                     " megapixels the build decodes";
    return false;
  }
  if (vips_image_get_n_pages(header.image) > 1) {
    result->outcome = Outcome::kPassThrough;
    return false;
  }
  return true;
}

// The decoded image, upright, stripped unless kept, in memory.
bool Decode(const std::string& source, const ImageSettings& settings, Image* upright,
            std::string* reason) {
  Image loaded;
  loaded.image = vips_image_new_from_file(source.c_str(), "fail_on", VIPS_FAIL_ON_ERROR, nullptr);
  Image rotated;
  if (!loaded.image || vips_autorot(loaded.image, &rotated.image, nullptr)) {
    *reason = "cannot be decoded: " + VipsError();
    return false;
  }
  upright->image = vips_image_copy_memory(rotated.image);
  if (!upright->image) {
    *reason = "cannot be decoded: " + VipsError();
    return false;
  }
  if (!settings.keep_metadata) RemoveMetadata(upright->image);
  return true;
}

}  // namespace

bool VipsImageProcessor::ready(std::string* error) const {
  if (!Start().ok && error) *error = Start().error;
  return Start().ok;
}

bool VipsImageProcessor::CanWriteAvif() const { return Start().avif; }

ImageResult VipsImageProcessor::Process(const std::string& source, const std::string& extension,
                                        const ImageSettings& settings, const std::string& folder) {
  ImageResult result;
  std::string_view loader = LoaderFor(extension);
  if (loader.empty()) {
    result.outcome = Outcome::kPassThrough;
    return result;
  }
  if (!ready(&result.reason)) {
    result.outcome = Outcome::kUnavailable;
    return result;
  }
  if (!Admit(source, loader, settings, &result)) return result;
  Image upright;
  if (!Decode(source, settings, &upright, &result.reason)) return result;
  const std::string own = loader == "jpegload" ? "jpeg" : loader == "pngload" ? "png" : "webp";
  const std::vector<int> widths = settings.WidthsFor(upright.image->Xsize);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    const int width = widths[i];
    Image sized;
    double scale = static_cast<double>(width) / upright.image->Xsize;
    if (vips_resize(upright.image, &sized.image, scale, nullptr)) {
      result.reason = "cannot be resized: " + VipsError();
      return result;
    }
    std::vector<std::string> formats = {"webp"};
    if (CanWriteAvif()) formats.insert(formats.begin(), "avif");
    const bool largest = i + 1 == widths.size();
    if (largest) formats.push_back("original");
    for (const std::string& format : formats) {
      const bool original = format == "original";
      const std::string name =
          original ? "original." + extension : std::to_string(width) + "." + format;
      if (!Save(sized.image, original ? own : format, folder + "/" + name, settings.quality,
                &result.reason))
        return result;
      result.variants.push_back(
          {name, original ? own : format, sized.image->Xsize, sized.image->Ysize});
      if (original) result.original = name;
    }
  }
  result.outcome = Outcome::kProcessed;
  result.width = upright.image->Xsize;
  result.height = upright.image->Ysize;
  return result;
}

ImageResult VipsImageProcessor::StripMetadata(const std::string& source,
                                              const std::string& target) {
  return MetadataStripper::Strip(source, target);
}

bool VipsImageProcessor::Shrink(const std::string& bytes, int max_side, std::size_t max_bytes,
                                std::string* out, std::string* done) {
  if (!ready(nullptr)) return false;
  const char* loader = vips_foreign_find_load_buffer(bytes.data(), bytes.size());
  vips_error_clear();
  const std::string format = loader ? FormatOf(loader) : "";
  if (format.empty()) return false;
  Image header;
  header.image = vips_image_new_from_buffer(bytes.data(), bytes.size(), "", nullptr);
  if (!header.image || vips_image_get_n_pages(header.image) > 1) {
    vips_error_clear();
    return false;
  }
  const int width = header.image->Xsize;
  const int height = header.image->Ysize;
  if (std::max(width, height) <= max_side && bytes.size() <= max_bytes) return false;
  // Shrunk while decoding, turned upright (the thumbnail's default).
  Image small;
  if (vips_thumbnail_buffer(const_cast<char*>(bytes.data()), bytes.size(), &small.image, max_side,
                            "height", max_side, "size", VIPS_SIZE_DOWN, nullptr)) {
    vips_error_clear();
    return false;
  }
  RemoveMetadata(small.image);
  void* buffer = nullptr;
  size_t length = 0;
  int failed = format == "jpeg" ? vips_jpegsave_buffer(small.image, &buffer, &length, "Q", 85,
                                                       "optimize_coding", TRUE, nullptr)
               : format == "png"
                   ? vips_pngsave_buffer(small.image, &buffer, &length, nullptr)
                   : vips_webpsave_buffer(small.image, &buffer, &length, "Q", 85, nullptr);
  if (failed) {
    vips_error_clear();
    return false;
  }
  out->assign(static_cast<const char*>(buffer), length);
  g_free(buffer);
  *done = std::to_string(width) + "x" + std::to_string(height) + " -> " +
          std::to_string(small.image->Xsize) + "x" + std::to_string(small.image->Ysize) +
          ", metadata removed";
  return true;
}

}  // namespace tarn
