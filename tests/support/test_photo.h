// TestPhoto: photos made for a test with the tools a blogger's camera
// stands in for (ImageMagick and libvips make the pixels and the colour
// profile, exiftool writes the position, the orientation and the camera's
// serial), and what those tools read back from a published copy.
//
// Folders are made as needed. Every function fails the running test (ADD_FAILURE) when a tool
// fails.
#pragma once

#include <map>
#include <string>

namespace tarn {

class TestPhoto {
 public:
  // A JPEG of width x height pixels at path, with an sRGB profile, a GPS
  // position, Orientation 6 (turned 90 degrees: shown height x width) and
  // a camera serial.
  static void MakeCameraJpeg(const std::string& path, int width, int height);
  // Writes a GPS position, a camera serial and an XMP title into the JPEG,
  // PNG or WebP file at path, and Orientation 6 when turned.
  static void AddCameraTags(const std::string& path, bool turned);
  // An image made by ImageMagick: "xc:red" at width x height into path, the
  // format from its extension.
  static void Make(const std::string& path, int width, int height);
  // A PNG whose header says width x height and which has no pixels: a
  // decompression bomb as far as a reader of headers can tell.
  static void MakePngHeader(const std::string& path, int width, int height);

  // exiftool's tags of the file ("GPSLatitude", "SerialNumber",
  // "ProfileDescription", "Orientation", ...) with their values.
  static std::map<std::string, std::string> Metadata(const std::string& path);
  // True when the two files decode to the same pixels (ImageMagick).
  static bool SamePixels(const std::string& a, const std::string& b);
  // "WIDTHxHEIGHT" of the file as libvips reads it; "" when it cannot.
  static std::string Size(const std::string& path);
};

}  // namespace tarn
