// tarn build with a theme that asks for pagination, tag and category pages,
// search and a sitemap (tests/fixtures/build/blog/themes/nav), and with an
// old-style theme that asks for none of it.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "data/json_document.h"
#include "data/text_file.h"
#include "support/expect_text.h"
#include "support/saved_tree.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class NavigationTest : public WorkspaceTest {
 protected:
  void UseTheme(const std::string& theme) {
    JsonDocument base;
    ASSERT_TRUE(base.Parse(Read("config/base.json")));
    base.SetText("system.theme", theme);
    Put("config/base.json", base.ToText("", true));
  }
  // Replaces the posts by count posts named p01.md, p02.md, ...
  void MakePosts(int count) {
    fs::remove_all(ws_ + "/_posts");
    for (int i = 1; i <= count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "_posts/p%02d.md", i);
      Put(name, "# Post " + std::to_string(i) + "\n");
    }
  }
  int Build() {
    TarnOutcome outcome = RunTarn(ws_, "build");
    err_ = outcome.err;
    return outcome.status;
  }
  // Files under public/, relative to it, without the post index.
  std::set<std::string> PublicFiles() {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(ws_ + "/public"))
      if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), ws_ + "/public"));
    return files;
  }
  // Every relative href and src of every page under public/ names a file
  // the build wrote; returns how many links were followed.
  int CheckLinks() {
    static const std::regex kLink(R"re((?:href|src)="([^"#]*)[^"]*")re");
    int followed = 0;
    for (const std::string& page : PublicFiles()) {
      if (fs::path(page).extension() != ".html") continue;
      std::string html = Read("public/" + page);
      for (std::sregex_iterator it(html.begin(), html.end(), kLink), end; it != end; ++it) {
        std::string link = (*it)[1];
        if (link.empty() || std::regex_search(link, std::regex("^[a-zA-Z][a-zA-Z0-9+.-]*:")))
          continue;
        fs::path target = fs::path(ws_ + "/public/" + page).parent_path() / Unescape(link);
        EXPECT_TRUE(fs::is_regular_file(target)) << page << " links to " << link;
        ++followed;
      }
    }
    return followed;
  }
  static std::string Unescape(const std::string& link) {
    std::string out;
    for (size_t i = 0; i < link.size(); ++i) {
      if (link[i] == '%' && i + 2 < link.size()) {
        out.push_back(static_cast<char>(std::stoi(link.substr(i + 1, 2), nullptr, 16)));
        i += 2;
      } else {
        out.push_back(link[i]);
      }
    }
    return out;
  }

  std::string err_;
};

TEST_F(NavigationTest, PagesSplitAtTheirBoundaries) {
  UseTheme("nav");  // two posts a page
  struct Case {
    int posts;
    int pages;
  };
  for (Case c : {Case{0, 1}, Case{1, 1}, Case{2, 1}, Case{3, 2}, Case{5, 3}, Case{4, 2}}) {
    SCOPED_TRACE(c.posts);
    MakePosts(c.posts);
    ASSERT_EQ(Build(), 0) << err_;
    std::string first = Read("public/index.html");
    EXPECT_CONTAINS(first, "page 1 of " + std::to_string(c.pages));
    EXPECT_EQ(first.find("class=\"prev\""), std::string::npos);
    for (int page = 2; page <= c.pages; ++page) {
      std::string html = Read("public/page/" + std::to_string(page) + "/index.html");
      EXPECT_CONTAINS(html, "href=\"../../assets/css/site.css\"");
      EXPECT_CONTAINS(html, "page " + std::to_string(page) + " of");
      EXPECT_CONTAINS(html, page == 2 ? "class=\"prev\" href=\"../../index.html\""
                                      : "class=\"prev\" href=\"../../page/" +
                                            std::to_string(page - 1) + "/index.html\"");
      // Each page holds its own two posts, in order.
      char name[32];
      std::snprintf(name, sizeof name, "p%02d", 2 * page - 1);
      EXPECT_CONTAINS(html, "<a href=\"../../articles/" + std::string(name) + ".html\">");
    }
    if (c.pages > 1) {
      EXPECT_CONTAINS(first, "class=\"next\" href=\"./page/2/index.html\"");
    }
    std::string last =
        Read("public/" + (c.pages == 1 ? std::string("index.html")
                                       : "page/" + std::to_string(c.pages) + "/index.html"));
    EXPECT_EQ(last.find("class=\"next\""), std::string::npos);
    // Pages of the earlier, longer build are gone.
    EXPECT_FALSE(Exists("public/page/" + std::to_string(c.pages + 1)));
    CheckLinks();
  }
}

TEST_F(NavigationTest, LinksResolveOnEveryPageAndTheSiteIsIndexed) {
  UseTheme("nav");
  Put("public/page/9/index.html", "stale");
  Put("public/page/9/keep.txt", "mine");
  Put("public/page/notes/readme.txt", "mine");
  ASSERT_EQ(Build(), 0) << err_;
  EXPECT_GT(CheckLinks(), 40);
  // The nested theme page and the articles see lists relative to themselves.
  EXPECT_CONTAINS(Read("public/docs/about.html"), "About, .. from the top.");
  EXPECT_CONTAINS(Read("public/docs/about.html"), "<a href=\"../articles/C%23%20tips.html\">");
  EXPECT_CONTAINS(Read("public/articles/Hello.html"), "<a href=\"../articles/中文.html\">");
  // Only the stale page went; the blogger's files stay.
  EXPECT_FALSE(Exists("public/page/9/index.html"));
  EXPECT_EQ(Read("public/page/9/keep.txt"), "mine");
  EXPECT_EQ(Read("public/page/notes/readme.txt"), "mine");

  JsonDocument search;
  ASSERT_TRUE(search.Parse(Read("public/search.json")));
  ASSERT_EQ(search.GetCount(""), 3);
  EXPECT_EQ(search.GetText("[0].title"), "C# tips");
  EXPECT_EQ(search.GetText("[0].url"), "./articles/C%23%20tips.html");
  EXPECT_EQ(search.GetText("[0].text"), "Tips Use a <b> tag.");  // the HTML's text
  EXPECT_FALSE(search.GetText("[0].date").empty());
  EXPECT_EQ(search.GetType("[0].tags"), JsonDocument::kArray);
  EXPECT_EQ(Read("public/search.js"),
            "window.tarnSearchIndex = " + Read("public/search.json") + ";\n");

  std::string sitemap = Read("public/sitemap.xml");
  std::string xmllint = "xmllint --noout '" + ws_ + "/public/sitemap.xml' 2>/dev/null";
  EXPECT_EQ(std::system(xmllint.c_str()), 0);
  for (const char* loc :
       {"https://blog.example.org/index.html", "https://blog.example.org/page/2/index.html",
        "https://blog.example.org/timeline.html", "https://blog.example.org/docs/about.html",
        "https://blog.example.org/articles/C%23%20tips.html",
        "https://blog.example.org/articles/%E4%B8%AD%E6%96%87.html"})
    EXPECT_CONTAINS(sitemap, std::string("<loc>") + loc + "</loc><lastmod>");
  EXPECT_EQ(sitemap.find("atom.xml"), std::string::npos);
}

TEST_F(NavigationTest, ListPagesTakeTheNewestPublishedTimeNotOneDatedAhead) {
  UseTheme("nav");
  MakePosts(0);
  Put("_posts/now.md", "---\ntags: [t]\ndate: 2024-01-02\n---\nNow\n");
  Put("_posts/ahead.md", "---\ntags: [t]\ndate: 9999-12-31\n---\nAhead\n");
  ASSERT_EQ(Build(), 0) << err_;
  std::string sitemap = Read("public/sitemap.xml");
  auto lastmod = [&sitemap](const std::string& page) {
    std::smatch m;
    std::regex entry("<loc>https://blog\\.example\\.org/" + page +
                     "</loc>(<lastmod>([^<]*)</lastmod>)?");
    return std::regex_search(sitemap, m, entry) ? m[2].str() : "(not listed)";
  };
  for (const char* list : {"index.html", "timeline.html", "docs/about.html", "tags/index.html",
                           "tags/t/index.html", "categories/index.html"})
    EXPECT_EQ(lastmod(list), "2024-01-02") << list;
  // The post dated ahead is scheduled: on no page until its date.
  EXPECT_EQ(lastmod("articles/ahead.html"), "(not listed)");
  EXPECT_FALSE(Exists("public/articles/ahead.html"));
}

TEST_F(NavigationTest, TagAndCategoryPagesTakeAnyName) {
  UseTheme("nav");
  MakePosts(0);
  Put("_posts/a.md",
      "---\ntags: [\"../../evil\", \"a/b\", \".\", \"..\", \"C++\", \"Go\", \"<x>&\"]\n"
      "categories: [Notes]\ndate: 2024-01-01\n---\nA\n");
  Put("_posts/b.md", "---\ntags: [go]\ncategories: [notes]\ndate: 2024-02-01\n---\nB\n");
  Put("_posts/secret.md", "---\ntags: [hidden, go]\ndraft: true\n---\nS\n");
  Put("public/tags/old/index.html", "stale");
  Put("public/tags/mine.txt", "mine");
  ASSERT_EQ(Build(), 0) << err_;
  CheckLinks();
  // Nothing outside public/tags; every name has its own folder in it.
  EXPECT_FALSE(Exists("evil"));
  EXPECT_FALSE(Exists("public/evil"));
  std::set<std::string> folders;
  for (const auto& entry : fs::directory_iterator(ws_ + "/public/tags"))
    if (entry.is_directory()) folders.insert(entry.path().filename());
  EXPECT_EQ(folders, (std::set<std::string>{"..%2F..%2Fevil", "a%2Fb", "%2E", "%2E%2E", "c++", "go",
                                            "<x>&"}));
  // Case-only differences share a page; drafts count nowhere.
  std::string go = Read("public/tags/go/index.html");
  EXPECT_CONTAINS(go, "<h1 class=\"tag\">Go (2)</h1>");
  size_t b = go.find("../../articles/b.html");
  size_t a = go.find("../../articles/a.html");
  EXPECT_LT(b, a);  // newest first
  EXPECT_EQ(go.find("secret"), std::string::npos);
  EXPECT_FALSE(Exists("public/tags/hidden"));
  EXPECT_CONTAINS(Read("public/tags/index.html"),
                  "<li><a href=\"../tags/go/index.html\">Go</a> 2</li>");
  EXPECT_CONTAINS(Read("public/categories/notes/index.html"), "Notes (2)");
  // The article links its tags and categories.
  std::string article = Read("public/articles/a.html");
  EXPECT_CONTAINS(article,
                  "<a class=\"category\" href=\"../categories/notes/index.html\">Notes</a>");
  EXPECT_CONTAINS(article, "<a class=\"tag\" href=\"../tags/..%252F..%252Fevil/index.html\">");
  // Stale tag pages go, the blogger's files stay.
  EXPECT_FALSE(Exists("public/tags/old"));
  EXPECT_EQ(Read("public/tags/mine.txt"), "mine");
  JsonDocument search;
  ASSERT_TRUE(search.Parse(Read("public/search.json")));
  EXPECT_EQ(search.GetCount(""), 2);
  EXPECT_EQ(Read("public/sitemap.xml").find("secret"), std::string::npos);
  EXPECT_EQ(std::system(("xmllint --noout '" + ws_ + "/public/sitemap.xml'").c_str()), 0);

  // A tag that is gone takes its page with it.
  Put("_posts/a.md", "---\ntags: [go]\ndate: 2024-01-01\n---\nA\n");
  ASSERT_EQ(Build(), 0) << err_;
  EXPECT_FALSE(Exists("public/tags/c++"));
  EXPECT_FALSE(Exists("public/categories/notes/index.html") &&
               Read("public/categories/notes/index.html").find("(2)") != std::string::npos);
  EXPECT_CONTAINS(Read("public/tags/go/index.html"), "(2)");
}

// A linked tags folder in public/ is named and the build fails: no tag
// page is written through it and no stale page behind it is removed.
TEST_F(NavigationTest, LinkedTagFolderIsNeitherWrittenThroughNorCleaned) {
  UseTheme("nav");
  MakePosts(0);
  Put("_posts/a.md", "---\ntags: [go]\ndate: 2024-01-01\n---\nA\n");
  Put("../elsewhere/old/index.html", "theirs");
  fs::create_directories(ws_ + "/public");
  fs::create_directory_symlink(tmp_ + "/elsewhere", ws_ + "/public/tags");
  EXPECT_EQ(Build(), 1);
  EXPECT_CONTAINS(err_, "public/tags: is a symbolic link");
  EXPECT_FALSE(fs::exists(tmp_ + "/elsewhere/go"));
  EXPECT_TRUE(fs::exists(tmp_ + "/elsewhere/old/index.html"));
  EXPECT_TRUE(Exists("public/articles/a.html"));  // the rest is written
}

TEST_F(NavigationTest, AbsoluteUrlsStayAbsolute) {
  UseTheme("nav");
  MakePosts(3);
  Put("config/conf.ini", "[base]\nAbsoluteUrl=1\n");
  ASSERT_EQ(Build(), 0) << err_;
  std::string second = Read("public/page/2/index.html");
  EXPECT_CONTAINS(second, "<a href=\"https://blog.example.org/articles/p03.html\">");
  EXPECT_CONTAINS(second, "class=\"prev\" href=\"https://blog.example.org/index.html\"");
}

// The bundled workspace and theme, as the build folder holds them: every
// post is listed on the index pages and in the archive, every link leads to
// a file the build wrote, and every page passes the Nu HTML checker.
TEST_F(NavigationTest, BundledThemeLinksEverythingAndValidates) {
  fs::remove_all(ws_);
  fs::create_directories(ws_);
  for (const char* part : {"config", "_posts", "themes", "template"})
    fs::copy(fs::path(TARN_BINARY).parent_path() / part, ws_ + "/" + part,
             fs::copy_options::recursive);
  // More posts than a page holds, some in a month of their own, with tags.
  for (int i = 1; i <= 23; ++i) {
    char name[32];
    char date[16];
    std::snprintf(name, sizeof name, "_posts/note %02d.md", i);
    std::snprintf(date, sizeof date, "2021-05-%02d", i + 1);
    Put(name, "---\ntags: [notes, \"t" + std::to_string(i % 4) + "\"]\ncategories: [日记]\ndate: " +
                  date + "\n---\n## One\n\n```cpp\nint x;\n```\n\n## Two $x^2$\n");
  }
  // Pages through the theme's page.mtpl, one a folder down, one at the top.
  Put("_pages/projects.md",
      "---\ntitle: Projects\n---\n## One\n\nSee [a note](../articles/note%2001.html).\n");
  Put("_pages/now.md", "---\npermalink: /now.html\n---\n[A note](../articles/note%2002.html)\n");
  ASSERT_EQ(Build(), 0) << err_;
  EXPECT_GT(CheckLinks(), 200);
  EXPECT_CONTAINS(Read("public/projects/index.html"), "<article class=\"post page\">");
  EXPECT_CONTAINS(Read("public/now.html"), "href=\"./articles/note%2002.html\"");
  std::string listed;
  for (const char* page : {"index.html", "page/2/index.html", "page/3/index.html"})
    listed += Read(std::string("public/") + page);
  EXPECT_FALSE(Exists("public/page/4"));
  std::string archive = Read("public/timeline.html");
  for (const std::string& file : PublicFiles()) {
    if (file.rfind("articles/", 0) != 0) continue;
    std::string link = "articles/" + fs::path(file).stem().string();
    EXPECT_CONTAINS(archive, link.substr(0, 12));
  }
  EXPECT_CONTAINS(listed, "note%2001.html");
  EXPECT_CONTAINS(listed, "note%2023.html");
  EXPECT_CONTAINS(Read("public/tags/index.html"), "notes</a> <span class=\"tag-count\">23</span>");
  std::string article = Read("public/articles/note 05.html");
  EXPECT_CONTAINS(article, "<h2 id=\"one\">One</h2>");
  EXPECT_CONTAINS(article, "<nav class=\"post-toc\"");
  EXPECT_CONTAINS(article, "<span class=\"category\">日记</span>");
  EXPECT_TRUE(Exists("public/404.html"));
  EXPECT_TRUE(Exists("public/search.html"));

  // Search and highlighting run in the reader's browser, from file://.
  if (std::system("which chromium >/dev/null 2>&1") == 0) {
    auto dom = [&](const std::string& page) {
      std::string command =
          "chromium --headless --no-sandbox --disable-gpu --virtual-time-budget=20000 --dump-dom '"
          "file://" +
          ws_ + "/public/" + page + "' >'" + tmp_ + "/dom' 2>/dev/null";
      EXPECT_EQ(std::system(command.c_str()), 0) << page;
      std::string text;
      ReadTextFile(tmp_ + "/dom", &text);
      return text;
    };
    std::string found = dom("search.html?q=%E5%A5%BD%E4%B8%96");  // 好世: characters, not a word
    EXPECT_CONTAINS(found, "href=\"./articles/你好，世界.html\">你好，世界</a>");
    EXPECT_CONTAINS(dom("search.html?q=note"), "找到 23 篇文章");
    std::string shown = dom("articles/note%2005.html");
    EXPECT_CONTAINS(shown, "class=\"hljs-type\"");  // int, highlighted
    EXPECT_CONTAINS(shown, "class=\"katex\"");
  }

  std::string vnu = std::string(TARN_SOURCE_DIR) + "/web/node_modules/vnu-jar/build/dist/vnu.jar";
  if (!fs::exists(vnu) || std::system("java -version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "the Nu HTML checker needs web/node_modules (npm ci) and a Java runtime";
  std::string pages;
  for (const std::string& file : PublicFiles())
    if (fs::path(file).extension() == ".html") pages += " '" + ws_ + "/public/" + file + "'";
  std::string check = "java -jar '" + vnu + "' --errors-only" + pages + " 2>'" + tmp_ + "/vnu'";
  int checked = std::system(check.c_str());
  std::string errors;
  ReadTextFile(tmp_ + "/vnu", &errors);
  EXPECT_EQ(checked, 0) << errors;
}

// Each article's plain text, heading ids and contents are kept between
// builds: an edited post gets its own while the cache holds the old ones,
// a damaged cache is rebuilt, and the pages are byte for byte what a
// build without the cache writes.
TEST_F(NavigationTest, KeptArticleTextsFollowEditsAndMatchABuildWithoutThem) {
  UseTheme("nav");
  std::string post = Read("themes/nav/post.mtpl");
  Put("themes/nav/post.mtpl",
      std::regex_replace(post, std::regex(R"(\{\$post\.content\})"), "<nav>{$post.toc}</nav>$&"));
  MakePosts(3);
  const std::string cache = ".tarn/article-text-cache.bin";
  const struct {
    const char* name;
    const char* post;    // p02.md's new text, if any
    const char* damage;  // the cache's new bytes, if any
    const char* shown;   // in p02's page
  } kSteps[] = {
      {"first build", "# First\n\nsome words\n\n# Second\n", nullptr, "<h1 id=\"second\">"},
      {"headings edited", "# First\n\nother words\n\n# Third\n\n# Third\n", nullptr,
       "<a href=\"#third-1\">Third</a>"},
      {"cache damaged", nullptr, "not a cache file", "<h1 id=\"third-1\">"},
  };
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.name);
    if (step.post) Put("_posts/p02.md", step.post);
    if (step.damage) Put(cache, step.damage);
    ASSERT_EQ(Build(), 0) << err_;
    EXPECT_TRUE(Exists(cache));
    if (step.damage) {
      EXPECT_CONTAINS(err_, cache);
    }
    const std::string page = Read("public/articles/p02.html");
    const std::string search = Read("public/search.json");
    EXPECT_CONTAINS(page, step.shown);
    ASSERT_EQ(RunTarn(ws_, "build --no-cache").status, 0);
    EXPECT_EQ(Read("public/articles/p02.html"), page);
    EXPECT_EQ(Read("public/search.json"), search);
  }
  EXPECT_CONTAINS(Read("public/search.json"), "other words Third Third");
}

// What an old-style theme wrote before themes could ask for more, with times
// and month names masked; the post index is left out.
TEST_F(NavigationTest, OldStyleThemeBuildsAsBefore) {
  std::string post = Read("themes/plain/post.mtpl");
  Put("themes/plain/post.mtpl",
      post +
          "<ul>{-volist name=\"posts\" key=\"p\"}<li><a href=\"{$p.url}\">{$p.title}</a></li>"
          "{-volist/}</ul>\n");
  ASSERT_EQ(Build(), 0) << err_;
  EXPECT_FALSE(Exists(".tarn/article-text-cache.bin")) << "a theme without search or pages";
  // The same saved output the front matter tests compare with.
  SavedTree::Tree saved =
      SavedTree::Load(TARN_SOURCE_DIR "/tests/fixtures/build/blog-public.saved");
  std::set<std::string> expected;
  for (const auto& entry : saved) expected.insert(entry.first);
  expected.erase("database.json");
  std::set<std::string> written = PublicFiles();
  written.erase("database.json");
  EXPECT_EQ(written, expected);
  static const std::regex kTime(R"(\d{4}-\d{1,2}-\d{1,2} \d{2}:\d{2}:\d{2})");
  static const std::regex kMonth("[一二三四五六七八九十]+月,\\d{4}");
  static const std::regex kFeedDate("<(pubDate|lastBuildDate)>[^<]*<");
  for (const std::string& file : expected) {
    std::string text = Read("public/" + file);
    text = std::regex_replace(text, kTime, "TIME");
    text = std::regex_replace(text, kMonth, "MONTH");
    text = std::regex_replace(text, kFeedDate, "<$1>DATE<");
    EXPECT_EQ(text, saved[file]) << file;
  }
}

}  // namespace
}  // namespace tarn
