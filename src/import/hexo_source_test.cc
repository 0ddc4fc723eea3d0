#include "import/hexo_source.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tarn {
namespace {

TEST(HexoSourceTest, AssetTagsBecomeLinksToTheAssetFolder) {
  TempDir assets("assets");
  for (const char* name : {"pic.png", "doc.pdf", "a(1).png"}) assets.Write(name, "x");
  struct Case {
    const char* text;
    const char* out;
    int replaced;
  } cases[] = {
      {"{% asset_img pic.png %}", "![](L/pic.png)", 1},
      {"{% asset_img pic.png 640 480 \"A title\" %}", "![A title](L/pic.png)", 1},
      {"{%asset_img big pic.png 'Short' %}", "![Short](L/pic.png)", 1},  // a class first
      {"{% asset_link doc.pdf %}", "[doc.pdf](L/doc.pdf)", 1},
      {"{% asset_link doc.pdf The paper %}", "[The paper](L/doc.pdf)", 1},
      {"{% asset_path a(1).png %}", "L/a%281%29.png", 1},
      {"a {% asset_path pic.png %} b {% asset_img doc.pdf %} c", "a L/pic.png b ![](L/doc.pdf) c",
       2},
      // Left alone: files that are not there, other tags, unclosed tags.
      {"{% asset_img missing.png %}", "{% asset_img missing.png %}", 0},
      {"{% raw %}x{% endraw %}", "{% raw %}x{% endraw %}", 0},
      {"{% asset_image pic.png %}", "{% asset_image pic.png %}", 0},
      {"{% asset_img pic.png", "{% asset_img pic.png", 0},
  };
  for (const Case& c : cases) {
    int replaced = 0;
    EXPECT_EQ(HexoSource::ReplaceAssetTags(c.text, assets.path(), "L/", &replaced), c.out)
        << c.text;
    EXPECT_EQ(replaced, c.replaced) << c.text;
  }
}

TEST(HexoSourceTest, PostsDraftsAndTheirAssetFolders) {
  TempDir site("hexo");
  for (const char* file :
       {"source/_posts/a.md", "source/_posts/a/pic.png", "source/_posts/a/inner.md",
        "source/_posts/sub/b.markdown", "source/_posts/.hidden.md", "source/_posts/page.html",
        "source/_posts/notes.txt", "source/_drafts/c.md", "source/about.md"}) {
    site.Write(file, "x");
  }
  std::vector<std::string> lines;
  ImportReport report([&lines](const ImportReport::Entry& entry) { lines.push_back(entry.text); });
  const std::filesystem::path root = std::filesystem::canonical(site.path());
  report.set_site(root);
  HexoSource source(root, &report);
  source.ReadSettings();
  lines.clear();

  struct Expected {
    const char* file;
    const char* name;
    const char* relative;
    const char* resources;
    bool draft;
  } expected[] = {
      {"source/_posts/a.md", "a", "a", "source/_posts/a", false},
      {"source/_posts/sub/b.markdown", "b", "sub/b", "", false},
      {"source/_drafts/c.md", "c", "c", "", true},
  };
  std::vector<ImportSource::Post> posts = source.Posts();
  ASSERT_EQ(posts.size(), std::size(expected));
  for (size_t i = 0; i < posts.size(); ++i) {
    EXPECT_EQ(posts[i].file, root / expected[i].file);
    EXPECT_EQ(posts[i].name, expected[i].name);
    EXPECT_EQ(posts[i].relative, expected[i].relative);
    EXPECT_EQ(posts[i].resources,
              *expected[i].resources ? root / expected[i].resources : std::filesystem::path());
    EXPECT_EQ(posts[i].draft, expected[i].draft);
  }
  EXPECT_EQ(lines, std::vector<std::string>{"source/_posts/page.html: not Markdown"});
  ASSERT_EQ(source.StaticRoots().size(), 1u);
  EXPECT_TRUE(source.StaticRoots()[0].skips_hidden_pages);
}

}  // namespace
}  // namespace tarn
