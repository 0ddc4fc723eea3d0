#include "content/taxonomy.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tarn {
namespace {

TEST(TaxonomyTest, FolderNamesStayInsideTheirFolder) {
  std::set<std::string> folders;
  for (const std::string& name :
       std::vector<std::string>{"", ".", "..", "../x", "a/b", "a\\b", "a%2Fb", "tab\there", "C++",
                                "中文", "x", std::string(300, 'y'), std::string(300, 'y') + "z"}) {
    std::string folder = Taxonomy::FolderName(name);
    EXPECT_FALSE(folder.empty()) << name;
    EXPECT_NE(folder, ".");
    EXPECT_NE(folder, "..");
    EXPECT_EQ(folder.find_first_of("/\\\t"), std::string::npos) << folder;
    EXPECT_LE(folder.size(), 200u);
    EXPECT_TRUE(folders.insert(folder).second) << "two names share " << folder;
  }
  EXPECT_EQ(Taxonomy::FolderName("C++"), "C++");
  EXPECT_EQ(Taxonomy::FolderName("中文"), "中文");
}

TEST(TaxonomyTest, GroupsFoldCaseAndCountMostUsedFirst) {
  JsonDocument data;
  ASSERT_TRUE(data.Parse(
      R"({"posts":[{"post_time":"2024-01-01 00:00:00","update_time":"2024-03-01 00:00:00",)"
      R"("tags":["Go","web"]},{"post_time":"2024-02-01 00:00:00","tags":["go","go"]},)"
      R"({"post_time":"2023-01-01 00:00:00","tags":"solo"},{"post_time":"2025-01-01 00:00:00"}]})"));
  Taxonomy tags(data, "posts", "tags");
  ASSERT_EQ(tags.groups().size(), 3u);
  const Taxonomy::Group& go = tags.groups()[0];
  EXPECT_EQ(go.name, "Go");  // first spelling met
  EXPECT_EQ(go.folder, "go");
  EXPECT_EQ(go.posts, (std::vector<int>{1, 0}));  // newest first, each post once
  EXPECT_EQ(go.newest_update, "2024-03-01 00:00:00");
  EXPECT_EQ(tags.groups()[1].name, "solo");
  EXPECT_EQ(tags.Find("GO"), &go);
  EXPECT_EQ(tags.Find("nope"), nullptr);
}

}  // namespace
}  // namespace tarn
