// tarn build with Markdown pages in _pages/: each at its address from the
// theme's page.mtpl (or post.mtpl), permalinks checked like aliases,
// drafts left out, and no page in the posts' lists, feed, tags or search.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "data/json_document.h"
#include "support/expect_text.h"
#include "support/saved_tree.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class PagesBuildTest : public WorkspaceTest {
 protected:
  // The nav theme: tag pages, search and a sitemap.
  void UseNavTheme() {
    JsonDocument base;
    ASSERT_TRUE(base.Parse(Read("config/base.json")));
    base.SetText("system.theme", "nav");
    Put("config/base.json", base.ToText("", true));
  }
  TarnOutcome Build(const std::string& options = "") { return RunTarn(ws_, "build " + options); }
  // public/ with the build's own time blanked.
  SavedTree::Tree Public() {
    SavedTree::Tree tree = SavedTree::Read(ws_ + "/public");
    for (auto& [name, bytes] : tree) {
      bytes = std::regex_replace(bytes, std::regex("\"create_time\":\"[^\"]*\""), "");
      bytes = std::regex_replace(bytes, std::regex("<lastBuildDate>[^<]*<"), "<");
    }
    return tree;
  }
};

TEST_F(PagesBuildTest, PagesBuildAtTheirAddressesAndNowhereElse) {
  if (!UseShippedTemplate()) GTEST_SKIP() << "the build has no template/ to convert with";
  UseNavTheme();
  Put("_pages/about.md",
      "---\ntitle: About me\ntags: [pagetag]\naliases: [/old/about.html, /index.html]\n---\n"
      "I write **here**.\n\n"
      "![me](../images/me.png) and [a post](../articles/Hello.html)\n");
  Put("_pages/projects.md", "---\npermalink: /work/projects.html\n---\nMy projects.\n");
  Put("_pages/deep.md",
      "---\npermalink: /a/b/c/\n---\n![me](../images/me.png) [a post](../articles/Hello.html)\n");
  Put("_pages/secret.md", "---\ntitle: Secret page\ndraft: true\n---\nNot yet.\n");
  Put("static/images/me.png", "png");

  TarnOutcome built = Build();
  ASSERT_EQ(built.status, 0) << built.err;
  // Its one alias that would overwrite the index is refused, as a post's;
  // nothing else of the pages is said.
  EXPECT_CONTAINS(built.err, ws_ +
                                 "/_pages/about.md: alias \"/index.html\" would overwrite "
                                 "public/index.html, which the build writes; skipped\n");
  EXPECT_EQ(built.err.find("_pages"), built.err.rfind("_pages"));

  // At its address, from post.mtpl (nav has no page.mtpl), with its own
  // root path and address; links written as a post writes them lead to
  // the same files from every depth.
  std::string about = Read("public/about/index.html");
  EXPECT_CONTAINS(about, "<title>About me</title>");
  EXPECT_CONTAINS(about, "<article><h1>About me</h1>");
  EXPECT_CONTAINS(about, "href=\"../articles/Hello.html\"");
  EXPECT_CONTAINS(about, "<strong>here</strong>");
  EXPECT_CONTAINS(about, "href=\"../assets/css/site.css\"");
  EXPECT_CONTAINS(about, "src=\"../images/me.png\"");
  EXPECT_CONTAINS(about, "<a class=\"tag\" href=\"\">pagetag</a>");
  EXPECT_CONTAINS(Read("public/work/projects.html"), "<p>My projects.</p>");
  // An old address of the page leads to it.
  std::string old = Read("public/old/about.html");
  EXPECT_CONTAINS(old, "url=../about/index.html\"");
  EXPECT_CONTAINS(old, "href=\"https://blog.example.org/about/index.html\"");
  std::string deep = Read("public/a/b/c/index.html");
  EXPECT_CONTAINS(deep, "src=\"../../../images/me.png\"");
  EXPECT_CONTAINS(deep, "href=\"../../../articles/Hello.html\"");
  EXPECT_TRUE(Exists("public/images/me.png"));

  // A draft stays out, as a draft post does.
  EXPECT_FALSE(Exists("public/secret/index.html"));

  // The sitemap lists the pages; nothing else of the posts' does.
  std::string sitemap = Read("public/sitemap.xml");
  EXPECT_CONTAINS(sitemap, "<loc>https://blog.example.org/about/index.html</loc>");
  EXPECT_CONTAINS(sitemap, "<loc>https://blog.example.org/work/projects.html</loc>");
  EXPECT_CONTAINS(sitemap, "<loc>https://blog.example.org/a/b/c/index.html</loc>");
  EXPECT_LACKS(sitemap, "secret");
  for (const char* file : {"index.html", "timeline.html", "atom.xml", "database.json",
                           "search.json", "articles/Hello.html", "tags/index.html"}) {
    SCOPED_TRACE(file);
    std::string text = Read(std::string("public/") + file);
    EXPECT_LACKS(text, "About me");
    EXPECT_LACKS(text, "projects");
    EXPECT_LACKS(text, "Secret");
  }
  EXPECT_FALSE(Exists("public/tags/pagetag"));
  JsonDocument index;
  ASSERT_TRUE(index.Parse(Read("public/database.json")));
  EXPECT_EQ(index.GetCount("posts"), 3);

  // With --drafts the draft page is built too.
  ASSERT_EQ(Build("--drafts").status, 0);
  EXPECT_CONTAINS(Read("public/secret/index.html"), "Not yet.");
  // ... and public/ is known to hold a draft, which tarn push refuses.
  EXPECT_CONTAINS(Read(".tarn/public-build"), "drafts\n");
  ASSERT_EQ(Build().status, 0);
  EXPECT_FALSE(Exists("public/secret/index.html"));
  EXPECT_EQ(Read(".tarn/public-build").find("drafts"), std::string::npos);
}

TEST_F(PagesBuildTest, PageTemplateComesBeforePostTemplate) {
  UseNavTheme();
  Put("themes/nav/page.mtpl",
      "{-extend name=\"./layout.mtpl\"}\n{-block name=\"body\"}<main class=\"page\">"
      "{$post.title} at {$post.url}{$post.content}</main>{-block/}\n");
  Put("_pages/about.md", "About text.\n");
  TarnOutcome built = Build();
  ASSERT_EQ(built.status, 0) << built.err;
  std::string about = Read("public/about/index.html");
  EXPECT_CONTAINS(about, "<main class=\"page\">about at ../about/index.html<p>About text.</p>");
  EXPECT_LACKS(about, "<article>");
}

TEST_F(PagesBuildTest, AddressesOutsidePublicOrTakenAreRefused) {
  UseNavTheme();
  struct Case {
    const char* permalink;
    const char* reason;
  } cases[] = {
      {"/../outside.html", "would leave public/"},
      {"/a/../../outside/", "would leave public/"},
      {"/.git/hooks/x.html", "would write into public/.git"},
      {"/index.html", "would overwrite public/index.html, which the build writes"},
      {"/articles/Hello.html", "would overwrite public/articles/Hello.html"},
      {"/timeline.html/x/", "would turn public/timeline.html, which the build writes,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.permalink);
    fs::remove_all(ws_ + "/_pages");
    Put("_pages/bad.md", std::string("---\npermalink: ") + c.permalink + "\n---\nBad page.\n");
    Put("_pages/good.md", "Good page.\n");
    TarnOutcome built = Build();
    EXPECT_EQ(built.status, 1);
    EXPECT_CONTAINS(built.err,
                    ws_ + "/_pages/bad.md: permalink \"" + c.permalink + "\" " + c.reason);
    EXPECT_CONTAINS(built.err, "the page is not written");
    EXPECT_CONTAINS(Read("public/good/index.html"), "Good page.");
    EXPECT_FALSE(Exists("outside.html"));
    EXPECT_FALSE(fs::exists(tmp_ + "/outside"));
    EXPECT_LACKS(Read("public/index.html"), "Bad page.");
  }
  // Two pages at one address: the first is written, the second reported.
  fs::remove_all(ws_ + "/_pages");
  Put("_pages/one.md", "---\npermalink: /same/\n---\nOne.\n");
  Put("_pages/two.md", "---\npermalink: /same/index.html\n---\nTwo.\n");
  TarnOutcome built = Build();
  EXPECT_EQ(built.status, 1);
  EXPECT_CONTAINS(built.err, "_pages/two.md: permalink \"/same/index.html\" would overwrite");
  EXPECT_CONTAINS(Read("public/same/index.html"), "One.");
}

TEST_F(PagesBuildTest, PagesNoLongerBuiltAreRemoved) {
  Put("_pages/about.md", "---\npermalink: /me/old.html\n---\nAbout.\n");
  Put("public/me/mine.txt", "the blogger's");
  ASSERT_EQ(Build().status, 0);
  ASSERT_TRUE(Exists("public/me/old.html"));
  struct Step {
    const char* text;  // of _pages/about.md; null: the page deleted
    const char* written;
    const char* removed;
  } steps[] = {
      {"---\npermalink: /new/\n---\nAbout.\n", "public/new/index.html", "public/me/old.html"},
      {"---\ndraft: true\n---\nAbout.\n", nullptr, "public/new/index.html"},
      {"About.\n", "public/about/index.html", nullptr},
      {nullptr, nullptr, "public/about/index.html"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.text ? step.text : "deleted");
    if (step.text) Put("_pages/about.md", step.text);
    if (!step.text) fs::remove(ws_ + "/_pages/about.md");
    TarnOutcome built = Build();
    ASSERT_EQ(built.status, 0) << built.err;
    if (step.written) {
      EXPECT_TRUE(Exists(step.written));
    }
    if (step.removed) {
      EXPECT_FALSE(Exists(step.removed));
    }
  }
  EXPECT_FALSE(Exists("public/new"));
  EXPECT_EQ(Read("public/me/mine.txt"), "the blogger's");
  EXPECT_TRUE(Exists("public/index.html"));
  EXPECT_FALSE(Exists(".tarn/public-build"));
}

// A workspace whose _pages/ is missing, empty or holds no Markdown builds
// exactly what it built without pages.
TEST_F(PagesBuildTest, NoPagesBuildsAsBefore) {
  for (const char* theme : {"plain", "nav"}) {
    SCOPED_TRACE(theme);
    if (std::string(theme) == "nav") UseNavTheme();
    fs::remove_all(ws_ + "/_pages");
    ASSERT_EQ(Build().status, 0);
    SavedTree::Tree without = Public();
    fs::create_directories(ws_ + "/_pages");
    ASSERT_EQ(Build().status, 0);
    EXPECT_EQ(Public(), without);
    Put("_pages/notes.txt", "not a page");
    ASSERT_EQ(Build().status, 0);
    EXPECT_EQ(Public(), without);
  }
}

}  // namespace
}  // namespace tarn
