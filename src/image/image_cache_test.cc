#include "image/image_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

ImageResult Processed() {
  ImageResult result;
  result.outcome = ImageResult::Outcome::kProcessed;
  result.width = 2000;
  result.height = 1000;
  result.variants = {{"480.avif", "avif", 480, 240}, {"original.jpg", "jpeg", 1600, 800}};
  result.original = "original.jpg";
  return result;
}

// Makes key's entry through Begin and Commit, with files for result's
// variants.
void Make(ImageCache* cache, const std::string& key, const ImageResult& result) {
  std::string folder;
  std::string error;
  ASSERT_TRUE(cache->Begin(key, &folder, &error)) << error;
  for (const ImageVariant& v : result.variants) WriteFile(folder + "/" + v.file, v.file);
  ASSERT_TRUE(cache->Commit(key, result, &error)) << error;
}

TEST(ImageCacheTest, KeysByContentAndSettings) {
  TempDir dir;
  const std::string a = dir.Write("a.jpg", "photo");
  const std::string b = dir.Write("sub/b.jpg", "photo");
  const std::string c = dir.Write("c.jpg", "another photo");
  ImageCache cache(dir.str() + "/cache");
  ImageSettings settings;
  ImageSettings kept;
  kept.keep_metadata = true;
  std::string ka, kb, kc, kkept, error;
  ASSERT_TRUE(cache.KeyOf(a, settings, &ka, &error));
  ASSERT_TRUE(cache.KeyOf(b, settings, &kb, &error));
  ASSERT_TRUE(cache.KeyOf(c, settings, &kc, &error));
  ASSERT_TRUE(cache.KeyOf(a, kept, &kkept, &error));
  EXPECT_EQ(ka, kb);  // the same bytes anywhere
  EXPECT_NE(ka, kc);
  EXPECT_NE(ka, kkept);
  EXPECT_EQ(ka.size(), 64u);
  EXPECT_FALSE(cache.KeyOf(dir.str() + "/missing.jpg", settings, &ka, &error));
  EXPECT_NE(error.find("missing.jpg"), std::string::npos);
}

TEST(ImageCacheTest, AnEntryIsFoundWholeOrNotAtAll) {
  TempDir dir;
  const std::string folder = dir.str() + "/cache";
  const std::string key(64, 'a');
  {
    ImageCache cache(folder);
    Make(&cache, key, Processed());
    ImageResult found;
    ASSERT_TRUE(cache.Lookup(key, &found));
    EXPECT_EQ(found.variants.size(), 2u);
    EXPECT_EQ(found.variants[1].width, 1600);
    EXPECT_EQ(found.original, "original.jpg");
    std::string error;
    ASSERT_TRUE(cache.Finish(&error)) << error;
  }
  const struct {
    const char* what;
    void (*damage)(const std::string& entry);
  } cases[] = {
      {"a variant gone", [](const std::string& e) { fs::remove(e + "/480.avif"); }},
      {"the entry file cut short",
       [](const std::string& e) { WriteFile(e + "/entry", "tarn-image 1\n"); }},
      {"another version", [](const std::string& e) { WriteFile(e + "/entry", "tarn-image 9\n"); }},
      {"no entry file: a crash before Commit",
       [](const std::string& e) { fs::remove(e + "/entry"); }},
  };
  for (const auto& c : cases) {
    ImageCache cache(folder);
    Make(&cache, key, Processed());
    c.damage(folder + "/" + key);
    ImageResult found;
    EXPECT_FALSE(cache.Lookup(key, &found)) << c.what;
  }
}

TEST(ImageCacheTest, FinishKeepsWhatThisRunUsedAndRemembersHashes) {
  TempDir dir;
  const std::string folder = dir.str() + "/cache";
  const std::string photo = dir.Write("photo.jpg", "photo");
  ImageSettings settings;
  std::string key, error;
  {
    ImageCache cache(folder);
    ASSERT_TRUE(cache.KeyOf(photo, settings, &key, &error));
    Make(&cache, key, Processed());
    Make(&cache, std::string(64, 'b'), Processed());
    std::string partial;
    ASSERT_TRUE(cache.Begin(std::string(64, 'c'), &partial, &error));  // a crash's leftover
    ASSERT_TRUE(cache.Finish(&error)) << error;
  }
  // The index is believed while the file keeps its size and time: other
  // bytes of the same size and time give the remembered key.
  const fs::file_time_type time = fs::last_write_time(photo);
  WriteFile(photo, "PHOTO");
  fs::last_write_time(photo, time);
  ImageCache cache(folder);
  cache.Load();
  std::string again;
  ASSERT_TRUE(cache.KeyOf(photo, settings, &again, &error));
  EXPECT_EQ(again, key);
  ImageResult found;
  EXPECT_TRUE(cache.Lookup(key, &found));
  ASSERT_TRUE(cache.Finish(&error));
  // The entry not used, and the crash's leftover, are gone.
  EXPECT_FALSE(fs::exists(folder + "/" + std::string(64, 'b')));
  EXPECT_FALSE(fs::exists(folder + "/" + std::string(64, 'c') + ".partial"));
  EXPECT_TRUE(fs::exists(folder + "/" + key + "/entry"));
}

TEST(ImageSettingsTest, WidthsNeverUpscale) {
  ImageSettings settings;
  const struct {
    int width;
    std::vector<int> widths;
  } cases[] = {
      {4000, {480, 960, 1600}}, {1600, {480, 960, 1600}}, {1200, {480, 960, 1200}},
      {960, {480, 960}},        {481, {480, 481}},        {300, {300}},
  };
  for (const auto& c : cases) EXPECT_EQ(settings.WidthsFor(c.width), c.widths) << c.width;
}

}  // namespace
}  // namespace tarn
