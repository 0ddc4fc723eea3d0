#include "import/hugo_source.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tarn {
namespace {

class HugoSourceTest : public ::testing::Test {
 protected:
  // The posts of the site made so far, as "FILE NAME RELATIVE [RESOURCES]"
  // under the site's folder; what was reported meanwhile goes to lines_.
  std::vector<std::string> Posts() {
    ImportReport report([this](const ImportReport::Entry& entry) { lines_.push_back(entry.text); });
    const std::filesystem::path root = std::filesystem::canonical(site_.path());
    report.set_site(root);
    HugoSource source(root, &report);
    source.ReadSettings();
    lines_.clear();
    std::vector<std::string> posts;
    for (const ImportSource::Post& post : source.Posts()) {
      std::string resources = SiteFiles::Inside(post.resources, root);
      posts.push_back(SiteFiles::Inside(post.file, root) + " " + post.name + " " + post.relative +
                      (resources.empty() ? "" : " " + resources));
      EXPECT_FALSE(post.draft);
    }
    roots_.clear();
    for (const ImportSource::StaticRoot& static_root : source.StaticRoots()) {
      roots_.push_back(SiteFiles::Inside(static_root.folder, root));
    }
    return posts;
  }

  TempDir site_{"hugo"};
  std::vector<std::string> lines_;
  std::vector<std::string> roots_;
};

TEST_F(HugoSourceTest, PostsOfThePostSectionsAndTheirBundles) {
  for (const char* file :
       {"content/posts/first.md", "content/posts/_index.md", "content/posts/2021/deep.md",
        "content/posts/page.org", "content/post/b/index.md", "content/post/b/c.png",
        "content/post/b/sub/d.md", "content/other/x.md", "content/about.md"}) {
    site_.Write(file, "x");
  }
  site_.Write("hugo.toml", "");
  EXPECT_EQ(Posts(), (std::vector<std::string>{"content/post/b/index.md b post content/post/b",
                                               "content/posts/2021/deep.md deep posts/2021",
                                               "content/posts/first.md first posts"}));
  EXPECT_EQ(lines_,
            (std::vector<std::string>{"content/posts/_index.md: a section's list page, not a post",
                                      "content/posts/page.org: not Markdown"}));
  EXPECT_EQ(roots_, std::vector<std::string>{"static"});
}

TEST_F(HugoSourceTest, TheSettingsNameTheContentAndStaticFolders) {
  site_.Write("hugo.yaml", "contentDir: words\nstaticDir: [assets, more]\n");
  site_.Write("words/post/a.md", "x");
  site_.Write("content/posts/not-this.md", "x");
  EXPECT_EQ(Posts(), std::vector<std::string>{"words/post/a.md a post"});
  EXPECT_EQ(roots_, (std::vector<std::string>{"assets", "more"}));
}

TEST_F(HugoSourceTest, ASiteWithoutPostSectionsSaysSo) {
  site_.Write("hugo.toml", "");
  site_.Write("content/about.md", "x");
  EXPECT_TRUE(Posts().empty());
  EXPECT_EQ(lines_, std::vector<std::string>{"no posts: content has no posts or post folder "
                                             "(other sections are not imported)"});
}

}  // namespace
}  // namespace tarn
