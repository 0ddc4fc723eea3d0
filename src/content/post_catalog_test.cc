#include "content/post_catalog.h"

#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>

#include "data/json_document.h"
#include "data/text_file.h"
#include "support/scoped_time_zone.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t kNow = 1767225600;  // 2026-01-01 00:00:00 UTC

class PostCatalogTest : public ::testing::Test {
 protected:
  void Post(const std::string& name, const std::string& text, std::time_t modified) {
    std::string path = (dir_ / name).string();
    ASSERT_TRUE(WriteTextFile(path, text));
    struct timeval times[2] = {{modified, 0}, {modified, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
  }

  TempDir temp_{"catalog"};
  fs::path dir_ = temp_.path();
};

TEST_F(PostCatalogTest, ListsPostsNewestFirstWithTitlesFromNames) {
  const std::string dated = "---\ndate: 2020-01-01\n---\n";
  Post("old.md", "---\ndate: 2001-01-01\n---\n", 1000000000);
  Post("new.MD", "---\ndate: 2024-01-01\n---\n", 1000000000);
  Post("same-b.md", dated, 1000000000);
  Post("same-a.md", dated, 1000000000);
  Post("notes.txt", "x", 1700000000);
  fs::create_directories(dir_ / "folder.md");
  std::vector<PostSummary> posts = PostCatalog::Read(dir_.string(), kNow);
  std::vector<std::string> titles;
  for (const PostSummary& post : posts) titles.push_back(post.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"new", "same-a", "same-b", "old"}));
  ASSERT_FALSE(posts.empty());
  EXPECT_EQ(posts[0].name, "new.MD");
}

TEST_F(PostCatalogTest, FrontMatterGivesTitleDatesDraftAndTags) {
  Post("a.md", "---\ntitle: 湖边\ndate: 2019-03-05 10:00:00\ntags: [lake, 游记]\n---\nbody\n",
       1700000000);
  Post("b.md", "+++\ntitle = \"Later\"\ndate = 2021-01-01\ndraft = true\n+++\n", 1000000000);
  // A block that is never closed within the head is read to its end.
  Post("c.md",
       "---\ntitle: Long\ndate: 2020-06-01\nnote: \"" + std::string(40000, 'x') + "\"\n---\nbody\n",
       1700000000);
  Post("d.md", "---\ntitle: [broken\n---\n", 1000000000);
  std::vector<PostSummary> posts = PostCatalog::Read(dir_.string(), kNow);
  ASSERT_EQ(posts.size(), 4u);
  // d.md has no readable front matter: its file time ("now" as a birth
  // time, else 2001) decides where it goes; the others are ordered by date.
  std::vector<std::string> names;
  for (const PostSummary& post : posts) {
    if (post.name != "d.md") names.push_back(post.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"b.md", "c.md", "a.md"}));
  for (const PostSummary& post : posts) {
    if (post.name == "a.md") {
      EXPECT_EQ(post.title, "湖边");
      EXPECT_EQ(post.post_time, "2019-03-05 10:00:00");
      EXPECT_EQ(post.tags, (std::vector<std::string>{"lake", "游记"}));
      EXPECT_FALSE(post.draft);
    } else if (post.name == "b.md") {
      EXPECT_EQ(post.title, "Later");
      EXPECT_TRUE(post.draft);
    } else if (post.name == "c.md") {
      EXPECT_EQ(post.title, "Long");
    } else {
      EXPECT_EQ(post.title, "d");
    }
  }
}

TEST_F(PostCatalogTest, JsonCarriesEveryMember) {
  PostSummary post;
  post.name = "a \"q\".md";
  post.title = "标题";
  post.post_time = "2020-01-02 03:04:05";
  post.update_time = "2020-01-03 03:04:05";
  post.draft = true;
  post.tags = {"x", "y"};
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(PostCatalog::ToJson({post})));
  EXPECT_EQ(doc.GetText("[0].name"), "a \"q\".md");
  EXPECT_EQ(doc.GetText("[0].title"), "标题");
  EXPECT_EQ(doc.GetText("[0].update_time"), "2020-01-03 03:04:05");
  EXPECT_TRUE(doc.GetBool("[0].draft"));
  EXPECT_EQ(doc.GetText("[0].tags[1]"), "y");
  EXPECT_EQ(PostCatalog::ToJson({}), "[]");
  EXPECT_TRUE(PostCatalog::Read((dir_ / "missing").string(), kNow).empty());
}

}  // namespace
}  // namespace tarn

namespace tarn {
namespace {

TEST_F(PostCatalogTest, ScheduledPostsCarryTheDateTheyGoLive) {
  ScopedTimeZone utc("UTC");
  const struct {
    const char* text;
    const char* scheduled;
  } kCases[] = {
      {"---\ndate: 2026-03-01 08:00:00 +08:00\n---\n", "2026-03-01 00:00:00"},
      {"---\ndate: 2025-12-31 23:59:59\n---\n", ""},
      // publishDate goes before date, either way round.
      {"---\ndate: 2020-01-01\npublishDate: 2026-02-01\n---\n", "2026-02-01 00:00:00"},
      {"---\ndate: 2027-01-01\npublishDate: 2020-01-01\n---\n", ""},
      // Due this very second.
      {"---\ndate: 2026-01-01T00:00:00Z\n---\n", ""},
      // No date: the file's time, however late, schedules nothing.
      {"---\ntitle: Undated\n---\n", ""},
  };
  for (const auto& c : kCases) {
    Post("p.md", c.text, kNow + 100000);
    std::vector<PostSummary> posts = PostCatalog::Read(dir_.string(), kNow);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].scheduled, c.scheduled) << c.text;
    JsonDocument doc;
    ASSERT_TRUE(doc.Parse(PostCatalog::ToJson(posts)));
    EXPECT_EQ(doc.GetText("[0].scheduled"), c.scheduled);
  }
}

}  // namespace
}  // namespace tarn
