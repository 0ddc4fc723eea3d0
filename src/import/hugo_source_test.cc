#include "import/hugo_source.h"

#include <gtest/gtest.h>

#include "content/front_matter.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

class HugoSourceTest : public ::testing::Test {
 protected:
  // The posts (or, with pages, the pages) of the site made so far, as
  // "FILE NAME RELATIVE [RESOURCES]" under the site's folder; what was
  // reported meanwhile goes to lines_.
  std::vector<std::string> Posts(bool pages = false) {
    ImportReport report([this](const ImportReport::Entry& entry) { lines_.push_back(entry.text); });
    const std::filesystem::path root = std::filesystem::canonical(site_.path());
    report.set_site(root);
    HugoSource source(root, &report);
    source.ReadSettings();
    lines_.clear();
    std::vector<std::string> posts;
    for (const ImportSource::Post& post : pages ? source.Pages() : source.Posts()) {
      std::string resources = SiteFiles::Inside(post.resources, root);
      posts.push_back(SiteFiles::Inside(post.file, root) + " " + post.name + " " + post.relative +
                      (resources.empty() ? "" : " " + resources) +
                      (post.category.empty() ? "" : " [" + post.category + "]"));
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

TEST_F(HugoSourceTest, PostsOfEverySectionWithDatedPagesAndTheirBundles) {
  for (const char* file :
       {"content/posts/first.md", "content/posts/_index.md", "content/posts/2021/deep.md",
        "content/posts/page.org", "content/post/b/index.md", "content/post/b/c.png",
        "content/post/b/sub/d.md", "content/other/x.md", "content/about.md",
        "content/blog/undated.md", "content/contact/index.md"}) {
    site_.Write(file, "x");
  }
  site_.Write("content/blog/dated.md", "---\npublishDate: 2020-01-02\n---\n");
  site_.Write("hugo.toml", "");
  EXPECT_EQ(Posts(), (std::vector<std::string>{"content/blog/dated.md dated blog [blog]",
                                               "content/blog/undated.md undated blog [blog]",
                                               "content/post/b/index.md b post content/post/b",
                                               "content/posts/2021/deep.md deep posts/2021",
                                               "content/posts/first.md first posts"}));
  EXPECT_EQ(lines_, (std::vector<std::string>{
                        "content/other/: 1 page(s) without dates, not posts (not imported)",
                        "content/posts/_index.md: a section's list page, not a post",
                        "content/posts/page.org: not Markdown"}));
  EXPECT_EQ(roots_, std::vector<std::string>{"static"});
  // The pages right in content/ and its bundles are pages; a bundle's
  // other Markdown is a file of it.
  site_.Write("content/contact/map.md", "x");
  site_.Write("content/_index.md", "x");
  EXPECT_EQ(Posts(true), (std::vector<std::string>{"content/about.md about about",
                                                   "content/contact/index.md contact "
                                                   "contact/index content/contact"}));
  EXPECT_TRUE(lines_.empty());
}

TEST_F(HugoSourceTest, TheSettingsNameTheContentAndStaticFolders) {
  site_.Write("hugo.yaml", "contentDir: words\nstaticDir: [assets, more]\n");
  site_.Write("words/post/a.md", "x");
  site_.Write("content/posts/not-this.md", "x");
  EXPECT_EQ(Posts(), std::vector<std::string>{"words/post/a.md a post"});
  EXPECT_EQ(roots_, (std::vector<std::string>{"assets", "more"}));
}

TEST_F(HugoSourceTest, ASiteWithoutSectionsSaysSo) {
  site_.Write("hugo.toml", "");
  site_.Write("content/about.md", "x");
  EXPECT_TRUE(Posts().empty());
  EXPECT_EQ(lines_, std::vector<std::string>{"no posts: content has no section folders"});
  EXPECT_EQ(Posts(true), std::vector<std::string>{"content/about.md about about"});
}

TEST_F(HugoSourceTest, APostWithoutDateIsDatedAsHugoDatesIt) {
  struct Case {
    const char* settings;
    const char* name;
    const char* front;
    const char* key;  // "" for the file name, nullptr for no date
    int day;
  };
  const Case cases[] = {
      {"", "a", "publishDate: 2020-01-02\nlastmod: 2020-01-03", "publishDate", 2},
      {"", "a", "lastmod: 2020-01-03", "lastmod", 3},
      {"", "2020-01-04-a", "title: t", nullptr, 0},
      {"[frontmatter]\ndate = [':filename', ':default']", "2020-01-04-a", "lastmod: 2020-01-03", "",
       4},
      {"[frontmatter]\ndate = [':filename', ':default']", "a", "lastmod: 2020-01-03", "lastmod", 3},
      {"[frontmatter]\ndate = ['modified']", "a", "lastmod: 2020-01-03\nmodified: 2020-01-05",
       "modified", 5},
  };
  for (const Case& c : cases) {
    site_.Write("hugo.toml", c.settings);
    ImportReport report(nullptr);
    HugoSource source(std::filesystem::canonical(site_.path()), &report);
    source.ReadSettings();
    FrontMatter front;
    front.Read("---\n" + std::string(c.front) + "\n---\n", "", [](const std::string&) {});
    ImportSource::Post post{
        site_.path() / "content/posts" / (std::string(c.name) + ".md"), {}, c.name, "posts"};
    ImportSource::Address address = source.OldAddress(post, front);
    SCOPED_TRACE(std::string(c.settings) + " / " + c.name + " / " + c.front);
    ASSERT_EQ(address.implied_date.has_value(), c.key != nullptr);
    if (!c.key) continue;
    EXPECT_EQ(address.date_key, c.key);
    EXPECT_EQ(address.implied_date->day, c.day);
  }
}

}  // namespace
}  // namespace tarn
