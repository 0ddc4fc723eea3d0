#include "import/site_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class SiteFilesTest : public ::testing::Test {
 protected:
  // The files under the site's folder relative, as paths under the site;
  // links met go to links_ the same way.
  std::vector<std::string> Files(
      const std::string& relative,
      const SiteFiles::EnterFolder& enter = [](const fs::path&) { return true; }) {
    auto on_link = [this](const fs::path& link) {
      links_.push_back(SiteFiles::Inside(link, root_));
    };
    std::vector<std::string> files;
    for (const fs::path& file : SiteFiles::FilesUnder(root_ / relative, enter, on_link)) {
      files.push_back(SiteFiles::Inside(file, root_));
    }
    return files;
  }

  TempDir site_{"site"};
  // Links on the way to the temporary folder are not the site's.
  const fs::path root_ = fs::canonical(site_.path());
  TempDir elsewhere_{"elsewhere"};
  std::vector<std::string> links_;
};

TEST_F(SiteFilesTest, WalksInNameOrderWithoutLitter) {
  for (const char* file : {"s/b.png", "s/a/z.md", "s/a/.git/config", "s/.DS_Store", "s/.hidden",
                           "s/Thumbs.db", "s/skip/x.png"}) {
    site_.Write(file, "x");
  }
  auto enter = [](const fs::path& folder) { return folder.filename() != "skip"; };
  EXPECT_EQ(Files("s", enter), (std::vector<std::string>{"s/.hidden", "s/a/z.md", "s/b.png"}));
  EXPECT_TRUE(Files("missing").empty());
  EXPECT_TRUE(links_.empty());
}

TEST_F(SiteFilesTest, SymbolicLinksAreReportedNotFollowed) {
  elsewhere_.Write("secret.png", "x");
  elsewhere_.Write("sub/secret.png", "x");
  site_.Write("s/own.png", "x");
  fs::create_symlink(elsewhere_.path(), site_ / "s/linked-folder");
  fs::create_symlink(elsewhere_ / "secret.png", site_ / "s/linked.png");
  fs::create_symlink(elsewhere_.path(), site_ / "images");
  EXPECT_EQ(Files("s"), std::vector<std::string>{"s/own.png"});
  std::sort(links_.begin(), links_.end());  // met in the folder's order
  EXPECT_EQ(links_, (std::vector<std::string>{"s/linked-folder", "s/linked.png"}));
  // Nor is a folder walked from that is a link, or lies behind one.
  for (const char* root : {"images", "s/linked-folder", "images/sub"}) {
    links_.clear();
    EXPECT_TRUE(Files(root).empty()) << root;
    EXPECT_EQ(links_, std::vector<std::string>{root});
  }
  EXPECT_EQ(Files("s/"), std::vector<std::string>{"s/own.png"});
}

TEST(SiteFilesNamesTest, MarkdownOtherContentAndInside) {
  for (const char* name : {"a.md", "a.MARKDOWN", "a.mdown", "a.mkd", "a.mkdn"}) {
    EXPECT_TRUE(SiteFiles::IsMarkdown(name)) << name;
  }
  for (const char* name : {"a.html", "a.HTM", "a.org", "a.adoc", "a.rst", "a.textile"}) {
    EXPECT_TRUE(SiteFiles::IsOtherContent(name)) << name;
    EXPECT_FALSE(SiteFiles::IsMarkdown(name)) << name;
  }
  EXPECT_FALSE(SiteFiles::IsOtherContent("a.png"));
  EXPECT_EQ(SiteFiles::Inside("/s/a/../b/c.png", "/s"), "b/c.png");
  EXPECT_EQ(SiteFiles::Inside("/s", "/s/"), ".");
  EXPECT_EQ(SiteFiles::Inside("/s/../t/x", "/s"), "");
  EXPECT_EQ(SiteFiles::Inside("/other", "/s"), "");
}

}  // namespace
}  // namespace tarn
