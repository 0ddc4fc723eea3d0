// Posts with front matter through the real tarn: what Hexo, Hugo and Jekyll
// posts build to, that their dates survive a copy, that a workspace without
// any builds exactly as before, broken and hostile blocks, static/, aliases
// and tarn new.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "data/json_document.h"
#include "data/text_file.h"
#include "support/expect_text.h"
#include "support/saved_tree.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

using Tree = std::map<std::string, std::string>;

using Outcome = TarnOutcome;

// The times a build takes from the clock or the file system, blanked.
// What the fixture workspace built before themes and posts could ask for
// more; the navigation tests compare with it too.
constexpr char kSavedOutput[] = TARN_SOURCE_DIR "/tests/fixtures/build/blog-public.saved";
constexpr char kSavedComment[] =
    "Saved output of `tarn build` on tests/fixtures/build/blog (theme plain): what a\n"
    "workspace that uses no front matter, navigation or other theme extras builds,\n"
    "with file times masked (TIME, DATE, MONTH). Format: tests/support/saved_tree.h.\n";

std::string WithoutFileTimes(std::string text) {
  text = std::regex_replace(text, std::regex(R"(\d{4}-\d{1,2}-\d{1,2} \d\d:\d\d:\d\d)"), "TIME");
  text = std::regex_replace(text, std::regex(R"(\w{3}, \d{1,2} \w{3} \d{4} \d\d:\d\d:\d\d GMT)"),
                            "DATE");
  return std::regex_replace(text, std::regex("[一二三四五六七八九十]+月,\\d{4}"), "MONTH");
}

// Only the build's own time blanked: create_time and lastBuildDate.
std::string WithoutBuildTime(std::string text) {
  text = std::regex_replace(text, std::regex("\"create_time\":\"[^\"]*\""), "\"create_time\":\"\"");
  return std::regex_replace(text, std::regex("<lastBuildDate>[^<]*</lastBuildDate>"),
                            "<lastBuildDate></lastBuildDate>");
}

class FrontMatterBuildTest : public WorkspaceTest {
 protected:
  // Local times in one zone whatever the machine's, so dates compare.
  Outcome Run(const std::string& workspace, const std::string& arguments) {
    return RunTarn(workspace, arguments, "TZ=Asia/Shanghai");
  }
  Outcome Build(const std::string& options = "") { return Run(ws_, "build " + options); }

  static Tree Normalised(Tree tree, std::string (*normalise)(std::string)) {
    for (auto& [name, bytes] : tree) bytes = normalise(std::move(bytes));
    return tree;
  }
  static Tree ReadTree(const std::string& folder, std::string (*normalise)(std::string)) {
    return Normalised(SavedTree::Read(folder), normalise);
  }

  // The theme tarn ships, in place of the fixture's.
  void UseBundledTheme() {
    fs::copy(TARN_SOURCE_DIR "/workspace/themes/lake", ws_ + "/themes/lake",
             fs::copy_options::recursive);
    std::string settings = Read("config/base.json");
    settings.replace(settings.find("\"plain\""), 7, "\"lake\"");
    Put("config/base.json", settings);
  }

  // Three posts as the three peers write them, and a draft.
  void PutPeerPosts() {
    // The fixture's stand-in converter, letting HTML lines through as
    // the real one does.
    std::string page = Read("template/index copy.html");
    page.replace(page.find("return m ?"), 0, "if (b.trim()[0] === '<') return b.trim();\n      ");
    Put("template/index copy.html", page);
    Put("themes/plain/_conf.json",
        R"({"order": "newest", "pages": [{"tpl": "about", "target": "about"}]})");
    Put("_posts/hexo.md",
        "---\r\ntitle: Hexo 的文章\r\ndate: 2019/3/5 9:08:07\r\nupdated: 2019-04-01 10:00:00\r\n"
        "tags: [travel, 旅行]\r\ncategories: notes\r\ndescription: From Hexo\r\n"
        "aliases: [/2019/03/05/hexo/, /old/hexo.html]\r\n---\r\nIntro.\r\n\r\n<!-- more -->\r\n\r\n"
        "The rest.\r\n");
    Put("_posts/hugo.md",
        "+++\ntitle = \"Hugo post\"\ndate = 2021-06-07T08:09:10+08:00\nslug = \"from-hugo\"\n"
        "tags = [\"go\"]\n[params]\ncover = \"c.png\"\n+++\nHugo summary.\n\n<!--more-->\n\n"
        "Hugo body text.\n");
    Put("_posts/2020-01-02-jekyll.md",
        "---\ntitle: \"Jekyll: post\"\ndate: 2020-01-02 03:04:05 +0000\ntags: one\n"
        "excerpt: Jekyll's summary\n---\nJekyll body.\n");
    Put("_posts/draft.md", "---\ntitle: Not yet\ndate: 2022-01-01\ndraft: true\n---\nSecret.\n");
    Put("static/CNAME", "blog.example.org\n");
    Put("static/img/a.png", "PNG");
    Put("static/.git/config", "no");
    Put("static/index.html", "mine");
  }
};

TEST_F(FrontMatterBuildTest, WorkspaceWithoutFrontMatterBuildsAsBefore) {
  Outcome built = Build();
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(built.err, "");
  Tree expected = Normalised(SavedTree::Load(kSavedOutput), WithoutFileTimes);
  Tree actual = ReadTree(ws_ + "/public", WithoutFileTimes);
  if (std::getenv("TARN_RESAVE")) {  // taking a new saved output, after review
    std::string error;
    ASSERT_TRUE(SavedTree::Save(kSavedOutput, actual, kSavedComment, &error)) << error;
  }
  EXPECT_EQ(expected.size(), actual.size());
  for (const auto& [name, bytes] : expected) {
    auto it = actual.find(name);
    if (it == actual.end()) {
      ADD_FAILURE() << name << " is missing";
    } else {
      EXPECT_EQ(it->second, bytes) << name << " differs";
    }
  }
}

TEST_F(FrontMatterBuildTest, PeerPostsBuildWithTheirTitlesDatesOrderAndFeed) {
  PutPeerPosts();
  Put("public/articles/draft.html", "left from before the post became a draft");
  Outcome built = Build();
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_CONTAINS(built.err, "static/index.html: the build writes public/index.html itself");

  JsonDocument db;
  ASSERT_TRUE(db.Parse(Read("public/database.json")));
  // Newest first by front matter date; posts without one by their file time
  // (now), so they lead.
  ASSERT_EQ(db.GetCount("posts"), 6);
  EXPECT_EQ(db.GetText("system.articleCount"), "6");
  EXPECT_EQ(db.GetText("posts[3].title"), "Hugo post");
  EXPECT_EQ(db.GetText("posts[4].title"), "Jekyll: post");
  EXPECT_EQ(db.GetText("posts[5].title"), "Hexo 的文章");
  EXPECT_EQ(db.GetText("posts[3].post_time"), "2021-06-07 08:09:10");
  EXPECT_EQ(db.GetText("posts[3].update_time"), "2021-06-07 08:09:10");
  EXPECT_EQ(db.GetText("posts[4].post_time"), "2020-01-02 11:04:05");
  EXPECT_EQ(db.GetText("posts[5].post_time"), "2019-03-05 09:08:07");
  EXPECT_EQ(db.GetText("posts[5].update_time"), "2019-04-01 10:00:00");
  EXPECT_EQ(db.GetText("posts[3].url"), "./articles/from-hugo.html");
  EXPECT_EQ(db.GetText("posts[3].front.params.cover"), "c.png");
  EXPECT_EQ(db.ToText("posts[5].tags"), "[\"travel\",\"旅行\"]");
  EXPECT_EQ(db.ToText("posts[5].categories"), "[\"notes\"]");
  EXPECT_EQ(db.ToText("posts[4].tags"), "[\"one\"]");
  EXPECT_EQ(db.GetText("posts[4].description"), "Jekyll's summary");
  EXPECT_EQ(db.GetText("posts[5].excerpt"), "<p>Intro.</p>\r\n");  // "\n" reads back as CR LF
  EXPECT_EQ(db.GetText("posts[4].excerpt"), "");
  EXPECT_EQ(db.GetText("posts[3].excerpt"), "<p>Hugo summary.</p>\r\n");  // <!--more-->
  EXPECT_EQ(db.GetText("timeline[1].date"), "六月,2021");
  // The record keeps the whole file; the seven members come first.
  EXPECT_EQ(db.GetText("posts[3].content").rfind("+++\r\ntitle", 0), 0u);
  std::vector<std::string> keys;
  db.GetKeys("posts[3]", &keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"title", "url", "absolute_url", "content", "author",
                                            "post_time", "update_time", "tags", "categories",
                                            "description", "excerpt", "front"}));
  db.GetKeys("posts[0]", &keys);
  EXPECT_EQ(keys.size(), 7u);

  // Article pages: slug file, front matter left out of the Markdown.
  std::string hugo = Read("public/articles/from-hugo.html");
  EXPECT_CONTAINS(hugo, "<title>Hugo post - My Blog</title>");
  EXPECT_CONTAINS(hugo, "<p>Hugo body text.</p>");
  EXPECT_EQ(hugo.find("+++"), std::string::npos);
  EXPECT_FALSE(Exists("public/articles/hugo.html"));
  EXPECT_TRUE(Exists("public/articles/2020-01-02-jekyll.html"));
  // Drafts are nowhere; the page left from before is removed.
  EXPECT_FALSE(Exists("public/articles/draft.html"));
  EXPECT_EQ(Read("public/database.json").find("Not yet"), std::string::npos);

  std::string feed = Read("public/atom.xml");
  EXPECT_CONTAINS(feed,
                  "<title><![CDATA[Hexo 的文章]]></title>\r\n      "
                  "<description><![CDATA[From Hexo]]></description>\r\n      "
                  "<pubDate>Mon, 01 Apr 2019 02:00:00 GMT</pubDate>");
  EXPECT_CONTAINS(feed,
                  "<description><![CDATA[Hugo summary.\n\n<!--more-->\n\nHugo body text.\n]]>"
                  "</description>");
  EXPECT_EQ(feed.find("Not yet"), std::string::npos);

  // Aliases redirect to the article; static/ is copied, .git and the
  // build's own pages excepted.
  std::string alias = Read("public/2019/03/05/hexo/index.html");
  EXPECT_CONTAINS(alias, "url=../../../../articles/hexo.html\"");
  EXPECT_CONTAINS(alias,
                  "<link rel=\"canonical\" href=\"https://blog.example.org/articles/hexo.html\">");
  EXPECT_CONTAINS(Read("public/old/hexo.html"), "url=../articles/hexo.html\"");
  EXPECT_EQ(Read("public/CNAME"), "blog.example.org\n");
  EXPECT_EQ(Read("public/img/a.png"), "PNG");
  EXPECT_FALSE(Exists("public/.git/config"));
  EXPECT_NE(Read("public/index.html"), "mine");

  // --drafts builds the draft too.
  built = Build("--drafts");
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_CONTAINS(Read("public/articles/draft.html"), "<p>Secret.</p>");
}

TEST_F(FrontMatterBuildTest, AThemeAskingForSummariesGetsThemForPostsWithoutAMarker) {
  PutPeerPosts();
  Put("themes/plain/_conf.json", R"({"order": "newest", "summary": true})");
  Put("_posts/long.md", "---\ntitle: Long\ndate: 2018-01-01\n---\n# Head\n\nFirst.\n\nSecond.\n");
  Outcome built = Build();
  ASSERT_EQ(built.status, 0) << built.err;
  JsonDocument db;
  ASSERT_TRUE(db.Parse(Read("public/database.json")));
  // The first paragraph, for posts without a marker; a marker still rules.
  EXPECT_EQ(db.GetText("posts[4].excerpt"), "<p>Jekyll body.</p>");
  EXPECT_EQ(db.GetText("posts[3].excerpt"), "<p>Hugo summary.</p>\r\n");
  EXPECT_EQ(db.GetText("posts[5].excerpt"), "<p>Intro.</p>\r\n");
  EXPECT_EQ(db.GetText("posts[6].title"), "Long");
  EXPECT_EQ(db.GetText("posts[6].excerpt"), "<p>First.</p>");
}

TEST_F(FrontMatterBuildTest, DatesSurviveACopy) {
  PutPeerPosts();
  fs::remove_all(ws_ + "/_posts");
  Put("_posts/a.md", "---\ntitle: A\ndate: 2019-01-01 10:00:00\n---\nA.\n");
  Put("_posts/b.md", "---\ntitle: B\ndate: 2018-05-06\nlastmod: 2019-02-03\n---\nB.\n");
  ASSERT_EQ(Build().status, 0);
  Tree before = ReadTree(ws_ + "/public", WithoutBuildTime);

  // A clone on another machine: every file new, with new times.
  std::string copy = tmp_ + "/copy";
  fs::copy(ws_, copy, fs::copy_options::recursive);
  fs::remove_all(copy + "/public");
  Outcome built = Run(copy, "build");
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(before, ReadTree(copy + "/public", WithoutBuildTime));
}

TEST_F(FrontMatterBuildTest, BrokenAndHostileFrontMatterIsReportedNotFatal) {
  Put("_posts/unclosed.md", "---\ntitle: X\n\nNo end of the block.\n");
  Put("_posts/broken.md", "---\ntitle: [a\n---\nBody of broken.\n");
  Put("_posts/baddate.md", "---\ndate: next tuesday\nslug: ../../etc/x\n---\nBody.\n");
  Put("_posts/huge.md", "---\nx: \"" + std::string(10 << 20, 'x') + "\"\n---\nHuge.\n");
  std::string laughs = "---\na: &a [x, x, x, x, x, x, x, x, x]\n";
  for (char name = 'b', previous = 'a'; name <= 'i'; previous = name++) {
    laughs += std::string(1, name) + ": &" + name + " [";
    for (int i = 0; i < 9; ++i) laughs += std::string(i ? ", *" : "*") + previous;
    laughs += "]\n";
  }
  Put("_posts/laughs.md", laughs + "---\nLaughs.\n");
  std::string strings = "---\ns: &s " + std::string(100 << 10, 'x') + "\nlist:\n";
  for (int i = 0; i < 20; ++i) strings += "  - *s\n";
  Put("_posts/strings.md", strings + "---\nStrings.\n");
  Put("_posts/twin.md", "---\nslug: Hello\n---\nTwin.\n");
  Outcome built = Build();
  EXPECT_EQ(built.status, 0) << built.err;
  EXPECT_CONTAINS(built.err, "unclosed.md:1: front matter opened by \"---\" is never closed");
  EXPECT_CONTAINS(built.err, "broken.md:3: front matter is not valid YAML");
  EXPECT_CONTAINS(built.err, "baddate.md: date \"next tuesday\" is not a date");
  EXPECT_CONTAINS(built.err, "baddate.md: slug \"../../etc/x\" cannot be a file name");
  EXPECT_CONTAINS(built.err, "huge.md:2: front matter of 10485766 bytes is over the limit");
  EXPECT_CONTAINS(built.err, "laughs.md:2: front matter holds more than");
  EXPECT_CONTAINS(built.err, "strings.md:2: front matter expands to more than 1048576 bytes");
  EXPECT_CONTAINS(built.err, "has the same article file as");
  // Unreadable blocks leave the post as plain Markdown under its file name.
  EXPECT_CONTAINS(Read("public/articles/broken.html"), "title: [a");
  EXPECT_CONTAINS(Read("public/articles/unclosed.html"), "No end of the block.");
  EXPECT_CONTAINS(Read("public/articles/baddate.html"), "<p>Body.</p>");
  EXPECT_CONTAINS(Read("public/articles/strings.html"), "list:");
  EXPECT_EQ(Read("public/database.json").find("\"list\":["), std::string::npos);
  EXPECT_FALSE(Exists("etc"));
}

TEST_F(FrontMatterBuildTest, AliasPagesGoWhenTheirAliasOrTheirPostDoes) {
  Put("_posts/moved.md",
      "---\naliases: [/2019/03/05/moved/, /old/moved.html, /old/also.html]\n---\nMoved.\n");
  Put("public/old/mine.txt", "the blogger's");
  ASSERT_EQ(Build().status, 0);
  EXPECT_TRUE(Exists("public/2019/03/05/moved/index.html"));
  EXPECT_TRUE(Exists("public/old/also.html"));

  // Two aliases dropped: their pages go, and the folders left empty.
  Put("_posts/moved.md", "---\naliases: [/old/moved.html]\n---\nMoved.\n");
  Outcome built = Build();
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_FALSE(Exists("public/2019"));
  EXPECT_FALSE(Exists("public/old/also.html"));
  EXPECT_CONTAINS(Read("public/old/moved.html"), "url=../articles/moved.html");

  // The post gone: its last alias page goes with its article.
  fs::remove(ws_ + "/_posts/moved.md");
  ASSERT_EQ(Build().status, 0);
  EXPECT_FALSE(Exists("public/old/moved.html"));
  EXPECT_FALSE(Exists("public/articles/moved.html"));
  EXPECT_EQ(Read("public/old/mine.txt"), "the blogger's");
}

TEST_F(FrontMatterBuildTest, NewStartsAPostThatBuilds) {
  Outcome made = Run(ws_, "new 'Trip: \"Day 1\"'");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.out, ws_ + "/_posts/Trip: \"Day 1\".md\n");
  std::string text = Read("_posts/Trip: \"Day 1\".md");
  EXPECT_EQ(text.rfind("---\ntitle: \"Trip: \\\"Day 1\\\"\"\ndate: ", 0), 0u) << text;
  EXPECT_CONTAINS(text, "+08:00\ntags: []\n---\n");

  Outcome again = Run(ws_, "new 'Trip: \"Day 1\"'");
  EXPECT_EQ(again.status, 1);
  EXPECT_CONTAINS(again.err, "exists already");
  EXPECT_EQ(Read("_posts/Trip: \"Day 1\".md"), text);
  // Paths, names the build could not title (not UTF-8), names too long to
  // be a file: refused before anything is written.
  for (const std::string& bad :
       std::vector<std::string>{"../escape", "a/b", ".hidden", "''", "\"$(printf 'caf\\351')\"",
                                std::string(253, 'x')}) {
    Outcome refused = Run(ws_, "new " + bad);
    EXPECT_EQ(refused.status, 2) << bad;
    EXPECT_CONTAINS(refused.err, "tarn new: ");
  }
  EXPECT_EQ(Run(ws_, "new " + std::string(252, 'x')).status, 0);
  EXPECT_FALSE(Exists("escape.md"));
  EXPECT_EQ(Run(ws_, "new").status, 2);

  ASSERT_EQ(Build().status, 0);
  JsonDocument db;
  ASSERT_TRUE(db.Parse(Read("public/database.json")));
  EXPECT_EQ(db.GetText("posts[2].title"), "Trip: \"Day 1\"");
  EXPECT_EQ(db.ToText("posts[2].tags"), "[]");
}

TEST_F(FrontMatterBuildTest, TheBundledThemeEscapesTheBloggersText) {
  UseBundledTheme();
  ASSERT_EQ(Run(ws_, "new '<script>'").status, 0);
  Put("_posts/quoted.md",
      "---\ntitle: 'Say \"hi\" & <b>bye</b>'\ndescription: It's \"quoted\"\n"
      "tags: [a<b]\ncategories: [R&D]\n---\nBody.\n");
  Outcome built = Build();
  ASSERT_EQ(built.status, 0) << built.err;

  std::string script = Read("public/articles/<script>.html");
  EXPECT_CONTAINS(script, "<title>&lt;script&gt; · My Blog</title>");
  EXPECT_CONTAINS(script, "<h1 class=\"post-title\">&lt;script&gt;</h1>");
  EXPECT_EQ(script.find("<script>"), std::string::npos);
  std::string quoted = Read("public/articles/quoted.html");
  const std::string title = "Say &quot;hi&quot; &amp; &lt;b&gt;bye&lt;/b&gt;";
  EXPECT_CONTAINS(quoted, "<meta property=\"og:title\" content=\"" + title + " · My Blog\">");
  EXPECT_CONTAINS(quoted, "<meta name=\"description\" content=\"It&apos;s &quot;quoted&quot;\">");
  EXPECT_CONTAINS(quoted, ">#a&lt;b</a>");
  EXPECT_CONTAINS(quoted, "<span class=\"category\">R&amp;D</span>");
  std::string index = Read("public/index.html");
  EXPECT_CONTAINS(index, ">&lt;script&gt;</a>");
  EXPECT_CONTAINS(index, ">" + title + "</a>");
  EXPECT_CONTAINS(Read("public/tags/index.html"), ">a&lt;b</a>");
  EXPECT_CONTAINS(Read("public/timeline.html"), ">" + title + "</a>");
}

TEST_F(FrontMatterBuildTest, APostsTextIsNeverReadAsPlaceholders) {
  UseBundledTheme();
  const std::string text =
      "A post about templates: {$system.author}, {$rootPath}, {$generation_tool} and {$name}.";
  Put("_posts/templates.md", "---\ntitle: Templates\n---\n" + text + "\n");
  Outcome built = Build();
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_CONTAINS(Read("public/articles/templates.html"), "<p>" + text + "</p>");
}

}  // namespace
}  // namespace tarn
