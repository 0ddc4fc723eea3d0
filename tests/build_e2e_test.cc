// tarn build on fixture workspaces: the real binary, its files, its exit
// status and its messages.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "data/json_document.h"
#include "data/text_file.h"
#include "support/expect_text.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

using Outcome = TarnOutcome;

class BuildCommandTest : public WorkspaceTest {
 protected:
  Outcome Build() { return RunTarn(ws_, "build"); }
};

TEST_F(BuildCommandTest, WritesTheWholeSite) {
  // Left from an earlier build: a page of a deleted post, and files of the
  // blogger's that the build must leave alone.
  Put("public/articles/Gone.html", "old");
  Put("public/articles/notes.txt", "mine");
  Put("public/CNAME", "blog.example.org");
  Put("public/assets/css/site.css", "stale");

  Outcome built = Build();
  EXPECT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(built.out, "渲染完成\n");

  std::string index = Read("public/index.html");
  EXPECT_CONTAINS(index, "<title>My Blog</title>");  // the space is kept
  EXPECT_CONTAINS(index, "<p class=\"count\">3 posts</p>");
  EXPECT_CONTAINS(index, "<meta name=\"generator\" content=\"TarnBlogEditor\">\r\n");
  EXPECT_CONTAINS(index, "href=\"./assets/css/site.css\"");
  // Posts in name order; links percent-encode what would break them.
  size_t c = index.find("<a href=\"./articles/C%23%20tips.html\">C# tips</a>");
  size_t h = index.find("<a href=\"./articles/Hello.html\">Hello</a>");
  size_t z = index.find("<a href=\"./articles/中文.html\">中文</a>");
  ASSERT_NE(c, std::string::npos);
  ASSERT_NE(h, std::string::npos);
  ASSERT_NE(z, std::string::npos);
  EXPECT_LT(c, h);
  EXPECT_LT(h, z);
  EXPECT_EQ(index.find("{$"), std::string::npos);
  EXPECT_EQ(index.find("{-"), std::string::npos);

  EXPECT_CONTAINS(Read("public/timeline.html"), "月,");

  // Articles are written where their links point, bodies from markToHtml.
  std::string hello = Read("public/articles/Hello.html");
  EXPECT_CONTAINS(hello, "<title>Hello - My Blog</title>");
  EXPECT_CONTAINS(hello, "<h1>Hello</h1>\n<p>First post.</p>");
  EXPECT_CONTAINS(hello, "href=\"https://blog.example.org/articles/Hello.html\"");
  EXPECT_CONTAINS(Read("public/articles/C# tips.html"), "<p>Use a &lt;b> tag.</p>");
  EXPECT_CONTAINS(Read("public/articles/中文.html"), "<h1>你好</h1>");
  EXPECT_FALSE(Exists("public/articles/Hello.MD"));
  EXPECT_FALSE(Exists("public/articles/Gone.html"));
  EXPECT_EQ(Read("public/articles/notes.txt"), "mine");
  EXPECT_EQ(Read("public/CNAME"), "blog.example.org");

  // Pages, nested targets included; assets copied over older copies.
  EXPECT_CONTAINS(Read("public/about.html"),
                  "<p class=\"about\">About Ann Example; theme plain</p>");
  EXPECT_EQ(Read("public/blog/x/about.html"), Read("public/about.html"));
  EXPECT_EQ(Read("public/assets/css/site.css"), "body { font-family: serif; }\n");

  JsonDocument db;
  ASSERT_TRUE(db.Parse(Read("public/database.json")));
  EXPECT_EQ(db.GetText("generation_tool"), "TarnBlogEditor");
  EXPECT_EQ(db.GetText("system.title"), "My Blog");
  EXPECT_EQ(db.GetText("system.articleCount"), "3");
  EXPECT_EQ(db.GetCount("posts"), 3);
  std::vector<std::string> keys;
  db.GetKeys("posts[1]", &keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"title", "url", "absolute_url", "content", "author",
                                            "post_time", "update_time"}));
  EXPECT_EQ(db.GetText("posts[1].title"), "Hello");
  EXPECT_EQ(db.GetText("posts[1].author"), "Ann Example");
  EXPECT_EQ(db.GetText("posts[1].content").rfind("----------\r\ntitle|Hello", 0), 0u);
  EXPECT_EQ(db.GetCount("timeline[0].posts"), 3);  // all written just now

  std::string xmllint = "xmllint --noout '" + ws_ + "/public/atom.xml' 2>/dev/null";
  EXPECT_EQ(std::system(xmllint.c_str()), 0);
  std::string feed = Read("public/atom.xml");
  EXPECT_CONTAINS(feed,
                  "<guid isPermaLink=\"true\">https://blog.example.org/articles/C%23%20tips.html");
  EXPECT_CONTAINS(feed, "<title><![CDATA[中文]]></title>");

  // A post deleted between builds leaves nothing behind.
  fs::remove(ws_ + "/_posts/Hello.MD");
  built = Build();
  EXPECT_EQ(built.status, 0) << built.err;
  EXPECT_FALSE(Exists("public/articles/Hello.html"));
  EXPECT_EQ(Read("public/index.html").find("Hello.html"), std::string::npos);
  ASSERT_TRUE(db.Parse(Read("public/database.json")));
  EXPECT_EQ(db.GetCount("posts"), 2);

  // And so does the last one.
  fs::remove_all(ws_ + "/_posts");
  built = Build();
  EXPECT_EQ(built.status, 0) << built.err;
  EXPECT_FALSE(Exists("public/articles/C# tips.html"));
  EXPECT_TRUE(Exists("public/articles/notes.txt"));
  ASSERT_TRUE(db.Parse(Read("public/database.json")));
  EXPECT_EQ(db.GetCount("posts"), 0);
}

// A workspace missing one piece: the build names it, writes what does not
// need it, and fails only when the piece is one a site cannot do without.
struct MissingPiece {
  const char* name;
  const char* removed;  // a workspace file taken away, or null
  const char* page;     // the manager page's new text, or null
  int status;
  const char* out;
  const char* reason;  // part of standard error
  std::vector<std::string> written;
  std::vector<std::string> not_written;
};

void PrintTo(const MissingPiece& piece, std::ostream* out) { *out << piece.name; }

class MissingPieceTest : public BuildCommandTest,
                         public ::testing::WithParamInterface<MissingPiece> {};

TEST_P(MissingPieceTest, IsNamedAndTheRestIsWritten) {
  const MissingPiece& c = GetParam();
  if (c.removed) fs::remove(ws_ + "/" + c.removed);
  if (c.page) Put("template/index copy.html", c.page);
  Outcome built = Build();
  EXPECT_EQ(built.status, c.status) << built.err;
  EXPECT_EQ(built.out, c.out);
  EXPECT_CONTAINS(built.err, c.reason);
  for (const std::string& file : c.written) EXPECT_TRUE(Exists(file)) << file;
  for (const std::string& file : c.not_written) EXPECT_FALSE(Exists(file)) << file;
}

INSTANTIATE_TEST_SUITE_P(BuildCommandTest, MissingPieceTest,
                         ::testing::Values(
                             // The index is written after the post index and the assets.
                             MissingPiece{"ThemeWithoutIndex",
                                          "themes/plain/index.mtpl",
                                          nullptr,
                                          1,
                                          "渲染出错\n",
                                          "themes/plain/index.mtpl",
                                          {"public/database.json", "public/assets/css/site.css"},
                                          {"public/index.html", "public/timeline.html"}},
                             MissingPiece{"ThemeWithoutPostTemplate",
                                          "themes/plain/post.mtpl",
                                          nullptr,
                                          0,
                                          "渲染完成\n",
                                          "post.mtpl",
                                          {"public/about.html"},
                                          {"public/articles"}},
                             MissingPiece{"PageWithoutMarkdownConverter",
                                          nullptr,
                                          "<script>function TplRender(t, d) { return t; }</script>",
                                          1,
                                          "渲染出错\n",
                                          "template/index copy.html defines no markToHtml",
                                          {"public/index.html"},
                                          {"public/articles/Hello.html"}}),
                         [](const ::testing::TestParamInfo<MissingPiece>& info) {
                           return info.param.name;
                         });

TEST_F(BuildCommandTest, PagesThatWouldLeaveTheirFolderAreRefused) {
  Put("themes/plain/_conf.json", R"({"pages":[{"tpl":"pages/about","target":"../escaped"},)"
                                 R"({"tpl":"pages/about","target":"/tmp/absolute"},)"
                                 R"({"tpl":"../../../config/conf","target":"conf"},)"
                                 R"({"tpl":"pages/about","target":"blog\\deep\\about"}]})");
  Outcome built = Build();
  EXPECT_EQ(built.status, 0) << built.err;
  EXPECT_CONTAINS(built.err, "pages[0] (tpl \"pages/about\", target \"../escaped\")");
  EXPECT_CONTAINS(built.err, "pages[1]");
  EXPECT_CONTAINS(built.err, "pages[2]");
  EXPECT_FALSE(fs::exists(ws_ + "/escaped.html"));
  EXPECT_FALSE(fs::exists("/tmp/absolute.html"));
  EXPECT_FALSE(Exists("public/conf.html"));
  EXPECT_TRUE(Exists("public/blog/deep/about.html"));
}

TEST_F(BuildCommandTest, OddPostsBuildOrAreReported) {
  std::string huge;
  const std::string paragraph = "Lorem ipsum {$system.title} dolor sit amet.\n\n";
  while (huge.size() < 50u * 1024 * 1024) huge += paragraph;
  Put("_posts/huge.md", huge);
  Put("_posts/empty.md", "");
  Put("_posts/latin1.md", "# Caf\xe9\n\nna\xefve\n");
  Outcome built = Build();
  EXPECT_EQ(built.status, 0) << built.err;
  EXPECT_CONTAINS(built.err, "_posts/latin1.md:1: not valid UTF-8");
  EXPECT_CONTAINS(Read("public/articles/empty.html"), "<div class=\"content\"></div>");
  EXPECT_CONTAINS(Read("public/articles/latin1.html"), "<h1>Caf\xEF\xBF\xBD</h1>");
  std::string big = Read("public/articles/huge.html");
  EXPECT_GT(big.size(), huge.size());
  // The post's own placeholders are text, not template: they stay.
  EXPECT_CONTAINS(big, "<p>Lorem ipsum {$system.title} dolor sit amet.</p>");
}

TEST_F(BuildCommandTest, BrokenConfigurationIsReportedWithItsPosition) {
  Put("config/base.json", "{\n  \"system\": {\n    \"theme\": \"plain\",\n  \n");
  Outcome built = Build();
  EXPECT_EQ(built.status, 1);
  EXPECT_CONTAINS(built.err, "config/base.json:");
  EXPECT_CONTAINS(built.err, "JSON error -5");

  int raw = std::system(
      ("'" + std::string(TARN_BINARY) + "' -w '" + ws_ + "' build extra >/dev/null 2>&1").c_str());
  EXPECT_EQ(WEXITSTATUS(raw), 2);
}

}  // namespace
}  // namespace tarn
