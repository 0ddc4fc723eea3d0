#include "support/test_photo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "deploy/command_runner.h"

namespace tarn {
namespace {

// Runs argv; its output, or "" with a test failure when it fails.
std::string Run(const std::vector<std::string>& argv) {
  CommandResult result = CommandRunner::RunProgram(argv, {});
  if (!result.started || result.exit_status != 0) {
    ADD_FAILURE() << argv[0] << " failed: " << result.error << result.output;
    return "";
  }
  return result.output;
}

uint32_t Crc(const std::string& bytes) {
  uint32_t crc = 0xffffffffu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string BigEndian(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (24 - 8 * i));
  return bytes;
}

std::string Chunk(const std::string& type, const std::string& data) {
  return BigEndian(static_cast<uint32_t>(data.size())) + type + data + BigEndian(Crc(type + data));
}

void MakeFolder(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
}

// The last line of a tool's output: its answer after any warnings.
std::string LastLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.substr(text.rfind('\n') + 1);
}

}  // namespace

void TestPhoto::MakeCameraJpeg(const std::string& path, int width, int height) {
  const std::string plain = path + ".plain.jpg";
  Make(plain, width, height);
  Run({"vips", "icc_transform", plain, path + "[Q=85]", "srgb", "--input-profile", "srgb"});
  std::remove(plain.c_str());
  AddCameraTags(path, true);
}

void TestPhoto::AddCameraTags(const std::string& path, bool turned) {
  std::vector<std::string> argv = {"exiftool",
                                   "-q",
                                   "-overwrite_original",
                                   "-GPSLatitude=48.8584",
                                   "-GPSLatitudeRef=N",
                                   "-GPSLongitude=2.2945",
                                   "-GPSLongitudeRef=E",
                                   "-SerialNumber=CAM-0042-SERIAL",
                                   "-XMP-dc:Title=At home"};
  if (turned) argv.push_back("-Orientation#=6");
  argv.push_back(path);
  Run(argv);
}

void TestPhoto::Make(const std::string& path, int width, int height) {
  MakeFolder(path);
  Run({"convert", "-size", std::to_string(width) + "x" + std::to_string(height),
       "gradient:red-blue", path});
}

void TestPhoto::MakePngHeader(const std::string& path, int width, int height) {
  MakeFolder(path);
  // IHDR: size, 8 bits, RGB, deflate, no filter, no interlace.
  std::string header = BigEndian(static_cast<uint32_t>(width)) +
                       BigEndian(static_cast<uint32_t>(height)) + std::string("\x08\x02\0\0\0", 5);
  // The start of the pixels: a zlib stream with one stored block of 1000
  // zero bytes, cut short there.
  std::string pixels = std::string("\x78\x01\x00\xe8\x03\x17\xfc", 7) + std::string(1000, '\0');
  std::ofstream(path, std::ios::binary)
      << "\x89PNG\r\n\x1a\n"
      << Chunk("IHDR", header) << Chunk("IDAT", pixels) << Chunk("IEND", "");
}

std::map<std::string, std::string> TestPhoto::Metadata(const std::string& path) {
  std::map<std::string, std::string> tags;
  std::istringstream lines(Run({"exiftool", "-s", "-a", "-G0", path}));
  for (std::string line; std::getline(lines, line);) {
    // "[GROUP]   Tag   : value"
    std::size_t close = line.find(']');
    std::size_t colon = line.find(" : ");
    if (close == std::string::npos || colon == std::string::npos) continue;
    std::istringstream name(line.substr(close + 1, colon - close - 1));
    std::string tag;
    name >> tag;
    tags[tag] = line.substr(colon + 3);
  }
  return tags;
}

bool TestPhoto::SamePixels(const std::string& a, const std::string& b) {
  // compare exits 0 when no pixel differs, 1 when some do.
  return CommandRunner::RunProgram({"compare", "-metric", "AE", a, b, "null:"}, ProgramOptions{})
             .exit_status == 0;
}

std::string TestPhoto::Size(const std::string& path) {
  CommandResult result =
      CommandRunner::RunProgram({"vipsheader", "-f", "width", path}, ProgramOptions{});
  CommandResult height =
      CommandRunner::RunProgram({"vipsheader", "-f", "height", path}, ProgramOptions{});
  if (result.exit_status != 0 || height.exit_status != 0) return "";
  return LastLine(result.output) + "x" + LastLine(height.output);
}

}  // namespace tarn
