#include "render/parallel_build.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// What a build will convert, as the file times tell: every post and page
// without a cache (or with --no-cache), and those changed since the cache
// was written with one. Times are set, not waited for.
TEST(ParallelBuildTest, ChangedMarkdownIsWhatChangedSinceTheCache) {
  TempDir blog{"changed"};
  const std::string root = blog.path().string();
  blog.Write("_posts/a.md", std::string(100, 'a'));
  blog.Write("_posts/b.md", std::string(20, 'b'));
  blog.Write("_posts/notes.markdown", std::string(999, 'n'));  // not a post
  blog.Write("_pages/about.md", std::string(7, 'p'));
  EXPECT_EQ(ParallelBuild::ChangedMarkdownBytes(root, true), 127u);

  const std::string cache = ParallelBuild::CachePath(root);
  fs::create_directories(fs::path(cache).parent_path());
  blog.Write(fs::relative(cache, root).string(), "cache");
  const fs::file_time_type written = fs::last_write_time(cache);
  for (const char* post : {"_posts/a.md", "_posts/b.md", "_pages/about.md"})
    fs::last_write_time(root + "/" + post, written - std::chrono::seconds(60));
  EXPECT_EQ(ParallelBuild::ChangedMarkdownBytes(root, true), 0u);
  EXPECT_EQ(ParallelBuild::ChangedMarkdownBytes(root, false), 127u);

  fs::last_write_time(root + "/_posts/b.md", written + std::chrono::seconds(1));
  EXPECT_EQ(ParallelBuild::ChangedMarkdownBytes(root, true), 20u);
}

}  // namespace
}  // namespace tarn
