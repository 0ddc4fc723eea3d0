#include "image/metadata_stripper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/temp_dir.h"
#include "support/test_photo.h"

namespace tarn {
namespace {

using Outcome = ImageResult::Outcome;

TEST(MetadataStripperTest, RemovesWhatTellsWhereAndLeavesEverythingElse) {
  TempDir dir;
  const std::string d = dir.str() + "/";
  TestPhoto::MakeCameraJpeg(d + "camera.jpg", 300, 200);
  TestPhoto::Make(d + "plain.png", 300, 200);
  dir.Write("text.jpg", "no photo at all");
  const struct {
    const char* file;
    Outcome outcome;
    const char* format;  // of the copy written
  } cases[] = {
      {"camera.jpg", Outcome::kProcessed, "jpeg"},
      // Nothing to remove: no copy, the file goes out as it is.
      {"plain.png", Outcome::kPassThrough, ""},
      // A copy made (its Orientation tag alone left) has nothing more.
      {"out-camera.jpg", Outcome::kPassThrough, ""},
      {"text.jpg", Outcome::kUndecodable, ""},
  };
  for (const auto& c : cases) {
    const std::string target = d + "out-" + c.file;
    ImageResult result = MetadataStripper::Strip(d + c.file, target);
    EXPECT_EQ(result.outcome, c.outcome) << c.file;
    EXPECT_EQ(std::filesystem::exists(target), *c.format != '\0') << c.file;
    EXPECT_EQ(result.reason.empty(), c.outcome != Outcome::kUndecodable) << c.file;
    if (*c.format == '\0') continue;
    ASSERT_EQ(result.variants.size(), 1u) << c.file;
    EXPECT_EQ(result.variants[0].file, std::string("out-") + c.file);
    EXPECT_EQ(result.variants[0].format, c.format);
    EXPECT_TRUE(TestPhoto::SamePixels(d + c.file, target)) << c.file;
    std::map<std::string, std::string> tags = TestPhoto::Metadata(target);
    EXPECT_EQ(tags.count("GPSLatitude"), 0u) << c.file;
    EXPECT_EQ(tags.count("SerialNumber"), 0u) << c.file;
    EXPECT_EQ(tags["Orientation"], "Rotate 90 CW") << c.file;
    EXPECT_EQ(tags["ProfileDescription"], "sRGB") << c.file;
  }
}

}  // namespace
}  // namespace tarn
