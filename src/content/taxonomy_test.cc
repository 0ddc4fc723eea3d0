#include "content/taxonomy.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tarn {
namespace {

TEST(TaxonomyTest, FolderNamesStayInsideTheirFolder) {
  std::set<std::string> folders;
  for (const std::string& name : std::vector<std::string>{
           "", ".", "..", "../x", "a/b", "a\\b", "a%2Fb", "tab\there", "C++", "中文", "x",
           std::string(300, 'y'), std::string(300, 'y') + "z", "index.html", "index%2Ehtml"}) {
    std::string folder = Taxonomy::FolderName(name);
    EXPECT_FALSE(folder.empty()) << name;
    EXPECT_NE(folder, ".");
    EXPECT_NE(folder, "..");
    EXPECT_NE(folder, "index.html");  // the list of all beside the folders
    EXPECT_EQ(folder.find_first_of("/\\\t"), std::string::npos) << folder;
    EXPECT_LE(folder.size(), 200u);
    EXPECT_TRUE(folders.insert(folder).second) << "two names share " << folder;
  }
  EXPECT_EQ(Taxonomy::FolderName("C++"), "C++");
  EXPECT_EQ(Taxonomy::FolderName("中文"), "中文");
}

PostFile Post(const char* post_time, const char* update_time, std::vector<std::string> tags) {
  PostFile post;
  post.post_time = post_time;
  post.update_time = update_time;
  post.tags = std::move(tags);
  return post;
}

TEST(TaxonomyTest, GroupsFoldCaseAndCountMostUsedFirst) {
  std::vector<PostFile> posts = {
      Post("2024-01-01 00:00:00", "2024-03-01 00:00:00", {"Go", "web"}),
      Post("2024-02-01 00:00:00", "", {"go", "go"}),
      Post("2023-01-01 00:00:00", "", {"solo"}),
      Post("2025-01-01 00:00:00", "", {}),
  };
  posts[3].categories = {"web"};
  Taxonomy tags(posts, &PostFile::tags);
  ASSERT_EQ(tags.groups().size(), 3u);
  const Taxonomy::Group& go = tags.groups()[0];
  EXPECT_EQ(go.name, "Go");  // first spelling met
  EXPECT_EQ(go.folder, "go");
  EXPECT_EQ(go.posts, (std::vector<int>{1, 0}));  // newest first, each post once
  EXPECT_EQ(tags.groups()[1].name, "solo");
  EXPECT_EQ(tags.Find("GO"), &go);
  EXPECT_EQ(tags.Find("nope"), nullptr);
  Taxonomy categories(posts, &PostFile::categories);
  ASSERT_EQ(categories.groups().size(), 1u);
  EXPECT_EQ(categories.groups()[0].posts, (std::vector<int>{3}));
}

}  // namespace
}  // namespace tarn
