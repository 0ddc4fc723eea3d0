#include "image/vips_image_processor.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "data/text_file.h"
#include "support/temp_dir.h"
#include "support/test_photo.h"

namespace tarn {
namespace {

TEST(VipsImageProcessorTest, ShrinkScalesStraightensAndStripsLargePhotosOnly) {
  TempDir dir;
  TestPhoto::MakeCameraJpeg(dir.str() + "/camera.jpg", 4000, 3000);
  TestPhoto::Make(dir.str() + "/small.jpg", 800, 600);
  TestPhoto::Make(dir.str() + "/wide.png", 3000, 200);
  dir.Write("text.jpg", "no photo at all");
  const struct {
    const char* file;
    std::size_t max_bytes;
    const char* size;  // after; "" when left as it is
  } cases[] = {
      // Orientation 6: 4000x3000 is shown 3000x4000.
      {"camera.jpg", 2 << 20, "1920x2560"},
      {"small.jpg", 2 << 20, ""},
      {"wide.png", 2 << 20, "2560x171"},
      // Over the byte limit: not scaled up, but stripped all the same.
      {"small.jpg", 100, "800x600"},
      {"text.jpg", 100, ""},
  };
  VipsImageProcessor processor;
  ASSERT_TRUE(processor.ready(nullptr));
  for (const auto& c : cases) {
    std::string bytes;
    ASSERT_TRUE(ReadTextFile(dir.str() + "/" + c.file, &bytes));
    std::string out;
    std::string done;
    const bool shrunk = processor.Shrink(bytes, 2560, c.max_bytes, &out, &done);
    EXPECT_EQ(shrunk, *c.size != '\0') << c.file;
    if (!shrunk) continue;
    const std::string written = dir.Write(std::string("out-") + c.file, out);
    EXPECT_EQ(TestPhoto::Size(written), c.size) << c.file;
    EXPECT_NE(done.find(" -> " + std::string(c.size) + ", metadata removed"), std::string::npos)
        << done;
    std::map<std::string, std::string> tags = TestPhoto::Metadata(written);
    EXPECT_EQ(tags.count("GPSLatitude"), 0u) << c.file;
    EXPECT_EQ(tags.count("SerialNumber"), 0u) << c.file;
  }
  std::map<std::string, std::string> camera = TestPhoto::Metadata(dir.str() + "/out-camera.jpg");
  EXPECT_EQ(camera["ProfileDescription"], "sRGB");
}

}  // namespace
}  // namespace tarn
