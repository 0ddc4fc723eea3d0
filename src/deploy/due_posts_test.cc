#include "deploy/due_posts.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "data/text_file.h"
#include "support/temp_dir.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

PostFile Dated(const std::string& name, std::optional<std::time_t> time) {
  PostFile post;
  post.name = name;
  post.title = name;
  post.publish_time = time;
  return post;
}

TEST(DuePostsTest, DueAreThePostsThatWentLiveSinceTheLastPublish) {
  TempDir temp("due");
  Workspace workspace(temp.str());
  std::vector<PostFile> posts = {Dated("a.md", 100), Dated("b.md", 200), Dated("c.md", 300),
                                 Dated("undated.md", std::nullopt)};
  DuePosts never(workspace);
  EXPECT_FALSE(never.published_before());
  EXPECT_EQ(never.Due(posts, 250), (std::vector<std::string>{"a.md", "b.md"}));

  std::string error;
  ASSERT_TRUE(never.Record(posts, 150, &error)) << error;
  const struct {
    std::time_t now;
    std::vector<std::string> due;
  } kCases[] = {
      {150, {}},
      {199, {}},
      {200, {"b.md"}},
      {1000, {"b.md", "c.md"}},
  };
  DuePosts after(workspace);
  EXPECT_TRUE(after.published_before());
  for (const auto& c : kCases) EXPECT_EQ(after.Due(posts, c.now), c.due) << c.now;

  // A post already published does not count again, whatever its date says.
  ASSERT_TRUE(after.Record(posts, 200, &error)) << error;
  posts[1].publish_time = 250;
  EXPECT_EQ(DuePosts(workspace).Due(posts, 260), std::vector<std::string>{});
}

TEST(DuePostsTest, ADamagedRecordCountsAsNeverPublished) {
  TempDir temp("due");
  Workspace workspace(temp.str());
  std::filesystem::create_directories(workspace.state_dir());
  for (const char* text : {"", "soon\na.md\n", "-5\n", "12x\n"}) {
    ASSERT_TRUE(WriteTextFile(Workspace::Path(workspace.state_dir(), "publish-due"), text));
    EXPECT_FALSE(DuePosts(workspace).published_before()) << text;
  }
}

TEST(DuePostsTest, NextIsTheEarliestPostStillToCome) {
  std::vector<PostFile> posts = {Dated("a.md", 300), Dated("b.md", 200), Dated("c.md", 100),
                                 Dated("undated.md", std::nullopt)};
  ASSERT_NE(DuePosts::Next(posts, 150), nullptr);
  EXPECT_EQ(DuePosts::Next(posts, 150)->name, "b.md");
  EXPECT_EQ(DuePosts::Next(posts, 200)->name, "a.md");
  EXPECT_EQ(DuePosts::Next(posts, 300), nullptr);
}

}  // namespace
}  // namespace tarn
