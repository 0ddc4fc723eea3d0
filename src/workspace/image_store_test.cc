#include "workspace/image_store.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "rest of a png";

class ImageStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { images_ = (dir_ / "static" / "images").string(); }

  std::string Save(const std::string& name, const std::string& bytes) {
    std::string file;
    std::string error;
    EXPECT_TRUE(ImageStore::Save(images_, name, bytes, now_, &file, &error)) << error;
    return file;
  }

  TempDir temp_{"images"};
  fs::path dir_ = temp_.path();
  std::string images_;
  std::time_t now_ = 1700000000;  // 2023-11-14 or -15, depending on the zone
  std::string Date() {
    char text[16];
    std::tm local{};
    localtime_r(&now_, &local);
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
  }
};

TEST_F(ImageStoreTest, NamesFromDateAndOriginalNeverOverwrite) {
  EXPECT_EQ(Save("photo.png", kPng), Date() + "-photo.png");
  EXPECT_EQ(Save("photo.png", kPng + "2"), Date() + "-photo-2.png");
  EXPECT_EQ(Save("/some/where/photo.PNG", kPng + "3"), Date() + "-photo-3.png");
  std::string first;
  ASSERT_TRUE(ReadTextFile(images_ + "/" + Date() + "-photo.png", &first));
  EXPECT_EQ(first, kPng);
  // No temporary file is left behind.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(images_)) {
    EXPECT_NE(entry.path().filename().string()[0], '.');
    ++files;
  }
  EXPECT_EQ(files, 3);
}

TEST_F(ImageStoreTest, AwkwardOrMissingNamesGetASafeOne) {
  // The extension comes from the data, the stem is made safe.
  EXPECT_EQ(Save("my (holiday) #1.gif", kPng), Date() + "-my-holiday-1.png");
  EXPECT_EQ(Save("../../etc/passwd", kPng + "x"), Date() + "-passwd.png");
  std::string hashed = Save("", kPng + "y");
  EXPECT_EQ(hashed.size(), Date().size() + 1 + 8 + 4) << hashed;
  EXPECT_EQ(Save("截图.png", "\xff\xd8\xff\xe0 jpeg"), Date() + "-截图.jpg");
}

TEST_F(ImageStoreTest, RefusesWhatIsNoImage) {
  std::string file;
  std::string error;
  EXPECT_FALSE(ImageStore::Save(images_, "evil.png", "<svg onload=x>", now_, &file, &error));
  EXPECT_NE(error.find("evil.png"), std::string::npos);
  EXPECT_FALSE(fs::exists(images_));
  // A file where the folder should be is reported, not written through.
  fs::create_directories(dir_ / "static");
  ASSERT_TRUE(WriteTextFile(images_, "a file"));
  EXPECT_FALSE(ImageStore::Save(images_, "a.png", kPng, now_, &file, &error));
  EXPECT_NE(error.find(images_), std::string::npos) << error;
}

TEST_F(ImageStoreTest, OriginalsGoWithTheirPhotoOrAfterThirtyDays) {
  const std::string originals = (dir_ / ".tarn" / "originals").string();
  EXPECT_EQ(ImageStore::RemoveStaleOriginals(originals, images_, now_), 0);  // no folder yet
  const struct {
    const char* name;
    bool photo;  // its scaled copy still in static/images/
    int days;    // since the original was kept
    bool kept;
  } cases[] = {
      {"fresh.jpg", true, 1, true},
      {"month.jpg", true, 29, true},
      {"old.jpg", true, 31, false},
      {"deleted.jpg", false, 1, false},
  };
  fs::create_directories(originals);
  fs::create_directories(images_);
  for (const auto& c : cases) {
    const std::string original = originals + "/" + c.name;
    ASSERT_TRUE(WriteTextFile(original, "original bytes"));
    const struct utimbuf times = {now_ - c.days * 86400, now_ - c.days * 86400};
    ASSERT_EQ(utime(original.c_str(), &times), 0);
    if (c.photo) {
      ASSERT_TRUE(WriteTextFile(images_ + "/" + c.name, "scaled bytes"));
    }
  }
  EXPECT_EQ(ImageStore::RemoveStaleOriginals(originals, images_, now_), 2);
  for (const auto& c : cases) {
    EXPECT_EQ(fs::exists(originals + "/" + c.name), c.kept) << c.name;
    EXPECT_EQ(fs::exists(images_ + "/" + c.name), c.photo) << c.name;
  }
}

TEST(ImageStoreLinkTest, LinkIsRelativeToTheArticlePage) {
  EXPECT_EQ(ImageStore::MarkdownLink("2024-01-02-a b(1).png", "a [b]"),
            "![a \\[b\\]](../images/2024-01-02-a%20b%281%29.png)");
}

}  // namespace
}  // namespace tarn
