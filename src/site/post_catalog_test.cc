#include "site/post_catalog.h"

#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>

#include "data/json_document.h"
#include "data/text_file.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class PostCatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarn-catalog-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Post(const std::string& name, const std::string& text, std::time_t modified) {
    std::string path = (dir_ / name).string();
    ASSERT_TRUE(WriteTextFile(path, text));
    struct timeval times[2] = {{modified, 0}, {modified, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
  }

  fs::path dir_;
};

TEST_F(PostCatalogTest, ListsPostsNewestFirstWithTitlesFromNames) {
  Post("old.md", "x", 1000000000);
  Post("new.MD", "x", 1600000000);
  Post("same-b.md", "x", 1300000000);
  Post("same-a.md", "x", 1300000000);
  Post("notes.txt", "x", 1700000000);
  fs::create_directories(dir_ / "folder.md");
  std::vector<PostSummary> posts = PostCatalog::Read(dir_.string());
  // Birth times are all "now" where the file system keeps them; the
  // modification times then decide nothing, and names break the tie.
  ASSERT_EQ(posts.size(), 4u);
  std::vector<std::string> titles;
  for (const PostSummary& post : posts) titles.push_back(post.title);
  if (posts[0].post_time == posts[3].post_time) {
    EXPECT_EQ(titles, (std::vector<std::string>{"new", "old", "same-a", "same-b"}));
  } else {
    EXPECT_EQ(titles, (std::vector<std::string>{"new", "same-a", "same-b", "old"}));
  }
  EXPECT_EQ(posts[0].name, "new.MD");
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
  EXPECT_TRUE(PostCatalog::Read((dir_ / "missing").string()).empty());
}

}  // namespace
}  // namespace tarn
