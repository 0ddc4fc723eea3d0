// tarn import on small Hexo, Hugo and Jekyll sites: the real binary, the
// files it writes into a workspace, its report and its exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "data/json_document.h"
#include "data/text_file.h"
#include "import/post_links.h"
#include "support/expect_text.h"
#include "support/test_photo.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

using Outcome = TarnOutcome;

class ImportCommandTest : public WorkspaceTest {
 protected:
  Outcome Run(const std::string& arguments) { return RunTarn(ws_, arguments); }
  Outcome Import(const std::string& site) {
    return Run("import '" + std::string(TARN_SOURCE_DIR) + "/tests/fixtures/import/" + site + "'");
  }
  std::string Fixture(const std::string& relative) {
    std::string text;
    EXPECT_TRUE(
        ReadTextFile(std::string(TARN_SOURCE_DIR) + "/tests/fixtures/import/" + relative, &text))
        << relative;
    return text;
  }
  // A file of an old site made by the test, under the temporary folder.
  void PutSite(const std::string& relative, const std::string& text) {
    fs::create_directories(fs::path(tmp_ + "/" + relative).parent_path());
    ASSERT_TRUE(WriteTextFile(tmp_ + "/" + relative, text));
  }
  Outcome ImportMade(const std::string& site) { return Run("import '" + tmp_ + "/" + site + "'"); }
  // ImportMade, expected to succeed.
  Outcome ImportMadeOk(const std::string& site) {
    Outcome imported = ImportMade(site);
    EXPECT_EQ(imported.status, 0) << imported.out << imported.err;
    return imported;
  }
  // tarn build of the workspace; false, with the failure added, when it
  // fails.
  bool BuildOk() {
    Outcome built = Run("build");
    EXPECT_EQ(built.status, 0) << built.err;
    return built.status == 0;
  }
  // What a whole imported site is checked against.
  struct SiteCheck {
    // Constructs left as written, each of which the import's report names
    // with its file and line.
    std::vector<std::string> left;
    // What posts show of the syntax on purpose (Hugo's escaped shortcodes).
    std::vector<std::string> examples;
    // The path the old site lay under on its host ("/blog"), which its
    // links from the host's root start with; "" for its root.
    std::string base_path;
  };
  // The check of a whole imported site, after its build: outside <pre>
  // and <code>, no page of public/ holds template syntax but what check
  // allows; every link to an article and every image of the article pages
  // reaches a file of public/, one from the host's root only under the
  // base path; every old address of a post leads to its article.
  void ExpectWholeSite(const Outcome& imported, const SiteCheck& check);
  // The manager page the build ships (markdown-it), for real article
  // pages; false when it has not been built.
  bool UseShippedPages() { return UseShippedTemplate(); }
};

// text as markdown-it writes it into a page.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

// The targets of the attribute (src=" or href=") in html.
std::vector<std::string> Targets(const std::string& html, const std::string& attribute) {
  std::vector<std::string> targets;
  for (size_t at = html.find(attribute); at != std::string::npos;
       at = html.find(attribute, at + 1)) {
    size_t begin = at + attribute.size();
    targets.push_back(html.substr(begin, html.find('"', begin) - begin));
  }
  return targets;
}

void ImportCommandTest::ExpectWholeSite(const Outcome& imported, const SiteCheck& check) {
  // The report's line: "FILE:LINE: CONSTRUCT ...".
  for (const std::string& construct : check.left) {
    EXPECT_CONTAINS(imported.out, ": " + construct);
  }
  const std::regex code("<pre[^]*?</pre>|<code[^]*?</code>");
  int reached = 0;  // links and images followed
  int redirects = 0;
  const fs::path pub = ws_ + "/public";
  for (const auto& entry : fs::recursive_directory_iterator(pub)) {
    if (entry.path().extension() != ".html") continue;
    std::string page;
    ASSERT_TRUE(ReadTextFile(entry.path().string(), &page));
    std::string prose = std::regex_replace(page, code, "");
    for (const std::vector<std::string>* shown_ones : {&check.left, &check.examples}) {
      for (const std::string& construct : *shown_ones) {
        const std::string shown = Escaped(construct);
        for (size_t at; (at = prose.find(shown)) != std::string::npos;) {
          prose.erase(at, shown.size());
        }
      }
    }
    for (const char* syntax : {"{%", "{{&lt;", "{{<", "{{%", "{:"}) {
      size_t at = prose.find(syntax);
      EXPECT_EQ(at, std::string::npos)
          << entry.path() << ": " << prose.substr(at == std::string::npos ? 0 : at, 60);
    }
    if (entry.path().parent_path() != pub / "articles") continue;
    // Images, and links to articles and to files of images/.
    std::vector<std::string> targets = Targets(page, "src=\"");
    for (const std::string& href : Targets(page, "href=\"")) {
      if (href.find("articles/") != std::string::npos ||
          href.find("images/") != std::string::npos) {
        targets.push_back(href);
      }
    }
    for (std::string target : targets) {
      if (target.find("://") != std::string::npos || target.rfind("data:", 0) == 0) continue;
      ++reached;
      target = PostLinks::Decode(target.substr(0, target.find_first_of("#?")));
      fs::path file = pub / "articles" / target;
      if (target[0] == '/') {
        // From the host's root: right only under the site's base path.
        const std::string under = check.base_path + "/";
        EXPECT_EQ(target.rfind(under, 0), 0u) << entry.path() << ": " << target;
        file = pub / target.substr(std::min(under.size(), target.size()));
      }
      EXPECT_TRUE(fs::is_regular_file(file)) << entry.path() << ": " << target;
    }
  }
  JsonDocument db;
  ASSERT_TRUE(db.Parse(Read("public/database.json")));
  for (int i = 0; i < db.GetCount("posts"); ++i) {
    const std::string post = "posts[" + std::to_string(i) + "]";
    const std::string article = PostLinks::Decode(db.GetText(post + ".url").substr(2));
    EXPECT_TRUE(Exists("public/" + article)) << article;
    for (int j = 0; j < db.GetCount(post + ".front.aliases"); ++j) {
      std::string old = db.GetText(post + ".front.aliases[" + std::to_string(j) + "]").substr(1);
      if (old.empty() || old.back() == '/') old += "index.html";
      ASSERT_TRUE(Exists("public/" + old)) << old;
      EXPECT_CONTAINS(Read("public/" + old), article);
      ++redirects;
    }
  }
  EXPECT_GT(reached, 0);
  EXPECT_GT(redirects, 0);
}

TEST_F(ImportCommandTest, HexoPostsDraftsAssetsAndOldAddresses) {
  // A post and a static file of the same names are there already.
  Put("_posts/Clash.md", "mine\n");
  Put("static/CNAME", "mine.example.org\n");

  Outcome imported = Import("hexo");
  EXPECT_EQ(imported.status, 0) << imported.out << imported.err;

  // The post keeps every byte but its relative links, which now reach its
  // asset folder's copy, and gains its old address.
  EXPECT_EQ(Read("_posts/hello-world.md"),
            "---\ntitle: Hello World\ndate: 2019/3/5 8:04:09\ntags: [greeting, first]\n"
            "categories:\n- Notes\naliases:\n  - \"/2019/03/05/hello-world/\"\n---\n"
            "Welcome to the old blog.\n\n"
            "![A cat](../images/hello-world/cat.png \"The cat\")\n\n"
            "![A sleeping cat](../images/hello-world/cat.png)\n\n"
            "[elsewhere](https://example.org/x.png) and [top](#top)\n\n"
            "```\n![not a link](cat.png)\n```\n");
  EXPECT_EQ(Read("static/images/hello-world/cat.png"),
            Fixture("hexo/source/_posts/hello-world/cat.png"));
  // Hexo's :title of a post in a sub-folder carries the folder.
  EXPECT_CONTAINS(Read("_posts/nested.md"), "aliases:\n  - \"/2020/01/02/2020/nested/\"\n---\n");
  // A draft is marked as one and has no old address.
  EXPECT_EQ(Read("_posts/work-in-progress.md"),
            "---\ntitle: Work in progress\ntags: []\ndraft: true\n---\nNot finished.\n");
  EXPECT_EQ(Read("static/images/logo.png"), "logo-bytes");

  // Clashes are reported and the workspace's files kept.
  EXPECT_EQ(Read("_posts/Clash.md"), "mine\n");
  EXPECT_EQ(Read("static/CNAME"), "mine.example.org\n");
  EXPECT_CONTAINS(imported.out, "skipped source/_posts/Clash.md: _posts/Clash.md exists\n");
  EXPECT_CONTAINS(imported.out, "skipped source/CNAME: static/CNAME exists\n");
  // Markdown pages become pages; Hexo's own "_" folders stay behind.
  EXPECT_CONTAINS(imported.out, "copied  source/about/index.md -> _pages/about.md\n");
  EXPECT_FALSE(Exists("static/about/index.md"));
  EXPECT_FALSE(Exists("static/_data"));
  EXPECT_CONTAINS(imported.out,
                  "copied  source/_posts/hello-world.md -> _posts/hello-world.md "
                  "(old address /2019/03/05/hello-world/, 2 link(s) rewritten)\n");
  EXPECT_CONTAINS(imported.out, "6 file(s) imported\n");

  // Everything again: all of it exists now, so nothing is imported.
  Outcome again = Import("hexo");
  EXPECT_EQ(again.status, 1) << again.out;
  EXPECT_EQ(again.out.find("copied"), std::string::npos) << again.out;
  EXPECT_CONTAINS(again.out,
                  "skipped source/_posts/hello-world.md: _posts/hello-world.md exists\n");
  EXPECT_CONTAINS(again.out, "0 file(s) imported\n");
}

TEST_F(ImportCommandTest, APostsFilesNeverLandOnOthersAndARerunCompletesThem) {
  // Another cat where the post's own would go.
  Put("static/images/hello-world/cat.png", "another cat");
  Outcome imported = Import("hexo");
  EXPECT_EQ(imported.status, 0) << imported.out << imported.err;
  const std::string cat = Fixture("hexo/source/_posts/hello-world/cat.png");
  EXPECT_EQ(Read("static/images/hello-world/cat.png"), "another cat");
  EXPECT_EQ(Read("static/images/hello-world-2/cat.png"), cat);
  std::string post = Read("_posts/hello-world.md");
  EXPECT_CONTAINS(post, "![A cat](../images/hello-world-2/cat.png \"The cat\")");
  EXPECT_EQ(post.find("../images/hello-world/"), std::string::npos) << post;
  EXPECT_CONTAINS(imported.out, "its files in static/images/hello-world-2/)\n");

  // An import that stopped after the post, before its file: the next one
  // brings the file to where the post's links lead.
  fs::remove(ws_ + "/static/images/hello-world-2/cat.png");
  Outcome again = Import("hexo");
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_CONTAINS(again.out,
                  "skipped source/_posts/hello-world.md: _posts/hello-world.md exists\n");
  EXPECT_CONTAINS(again.out,
                  "copied  source/_posts/hello-world/cat.png -> "
                  "static/images/hello-world-2/cat.png\n");
  EXPECT_EQ(Read("static/images/hello-world-2/cat.png"), cat);
  EXPECT_EQ(Read("_posts/hello-world.md"), post);

  // A post of the same name that is not the import's brings nothing.
  Put("_posts/hello-world.md", "mine\n");
  fs::remove(ws_ + "/static/images/hello-world-2/cat.png");
  Outcome mine = Import("hexo");
  EXPECT_EQ(mine.out.find("copied  source/_posts/hello-world/cat.png"), std::string::npos)
      << mine.out;
  EXPECT_FALSE(Exists("static/images/hello-world-2/cat.png"));
}

TEST_F(ImportCommandTest, APostWhoseFilesFindNoFolderIsSkipped) {
  Put("static/images/hello-world/cat.png", "another cat");
  for (int k = 2; k <= 100; ++k) {
    Put("static/images/hello-world-" + std::to_string(k) + "/cat.png", "another cat");
  }
  Outcome imported = Import("hexo");
  EXPECT_CONTAINS(imported.out,
                  "skipped source/_posts/hello-world.md: static/images/hello-world/ and the 99 "
                  "folders after it all hold other files of the same names\n");
  EXPECT_FALSE(Exists("_posts/hello-world.md"));
}

TEST_F(ImportCommandTest, ImportedPostsBuildWithWorkingImagesAndOldAddresses) {
  // Real image tags need the shipped manager page.
  if (!UseShippedPages()) GTEST_SKIP() << "the shipped manager page has not been built";
  Outcome hexo = Import("hexo");
  ASSERT_EQ(hexo.status, 0);
  ASSERT_EQ(Import("hugo").status, 0);
  ASSERT_TRUE(BuildOk());
  // Every image and link of the imported articles reaches a file.
  ExpectWholeSite(hexo, {});
  EXPECT_CONTAINS(Read("public/articles/hello-world.html"),
                  "src=\"../images/hello-world/cat.png\"");
  EXPECT_CONTAINS(Read("public/articles/bundled.html"), "src=\"../images/");
  EXPECT_EQ(Read("public/images/hello-world/cat.png"),
            Fixture("hexo/source/_posts/hello-world/cat.png"));
  // The old addresses redirect to the articles; drafts stay unpublished.
  EXPECT_CONTAINS(Read("public/2019/03/05/hello-world/index.html"),
                  "url=../../../../articles/hello-world.html");
  EXPECT_CONTAINS(Read("public/2021/07/bundled/index.html"), "articles/bundled.html");
  EXPECT_CONTAINS(Read("public/old/bundle/index.html"), "articles/bundled.html");
  EXPECT_FALSE(Exists("public/articles/work-in-progress.html"));
  EXPECT_FALSE(Exists("public/articles/not-yet.html"));
}

TEST_F(ImportCommandTest, ImportedPhotosGetResponsiveCopiesAtTheNextBuild) {
  if (!UseShippedPages()) GTEST_SKIP() << "the shipped manager page has not been built";
  // The Hexo site with a real photo as its post's asset.
  const std::string site = tmp_ + "/hexo-photo";
  fs::copy(std::string(TARN_SOURCE_DIR) + "/tests/fixtures/import/hexo", site,
           fs::copy_options::recursive);
  TestPhoto::Make(site + "/source/_posts/hello-world/cat.png", 1200, 900);
  Put("themes/plain/_conf.json", "{\"name\": \"plain\", \"images\": {\"responsive\": true}}");
  ASSERT_EQ(ImportMade("hexo-photo").status, 0);
  ASSERT_TRUE(BuildOk());
  EXPECT_CONTAINS(Read("public/articles/hello-world.html"),
                  "<source type=\"image/webp\" srcset=\"../images/hello-world/cat.480.webp 480w, "
                  "../images/hello-world/cat.960.webp 960w, ../images/hello-world/cat.1200.webp "
                  "1200w\"");
  const struct {
    const char* file;
    const char* size;
  } copies[] = {{"cat.480.avif", "480x360"},
                {"cat.960.webp", "960x720"},
                {"cat.1200.avif", "1200x900"},
                {"cat.png", "1200x900"}};
  for (const auto& copy : copies)
    EXPECT_EQ(TestPhoto::Size(ws_ + "/public/images/hello-world/" + copy.file), copy.size)
        << copy.file;
}

TEST_F(ImportCommandTest, HugoTomlPostsBundlesAndStaticFiles) {
  Outcome imported = Import("hugo");
  EXPECT_EQ(imported.status, 0) << imported.out << imported.err;

  // TOML front matter gains its alias at the top, before the [params] table.
  EXPECT_EQ(Read("_posts/first-post.md"),
            "+++\naliases = [\"/2021/06/first-post/\"]\n" +
                Fixture("hugo/content/posts/first-post.md").substr(4));
  // A bundle becomes a post of its folder's name; its files move with it,
  // links follow them, and its own aliases are kept before the old address.
  EXPECT_EQ(Read("_posts/my-bundle.md"),
            "---\ntitle: \"A Bundle\"\ndate: 2021-07-01\nslug: bundled\n"
            "aliases:\n  - \"/old/bundle/\"\n  - \"/2021/07/bundled/\"\n---\n"
            "![cover](../images/my-bundle/cover.jpg) and "
            "[the paper](../images/my-bundle/files/the%20paper.pdf).\n");
  EXPECT_EQ(Read("static/images/my-bundle/cover.jpg"), "jpg-bytes");
  EXPECT_EQ(Read("static/images/my-bundle/files/the paper.pdf"), "pdf-bytes");
  EXPECT_FALSE(Exists("static/images/my-bundle/index.md"));
  // A Hugo draft keeps its own key and gets no address.
  EXPECT_EQ(Read("_posts/not-yet.md"), Fixture("hugo/content/posts/not-yet.md"));
  EXPECT_EQ(Read("static/img/logo.png"), "logo");
  EXPECT_EQ(Read("static/robots.txt"), "User-agent: *\n");
  EXPECT_CONTAINS(imported.out, "skipped content/posts/_index.md: a section's list page");
  EXPECT_FALSE(Exists("_posts/about.md"));
  EXPECT_FALSE(Exists("_posts/_index.md"));
}

TEST_F(ImportCommandTest, JekyllDatesFromNamesAndPrettyAddresses) {
  Outcome imported = Import("jekyll");
  EXPECT_EQ(imported.status, 0) << imported.out << imported.err;

  // ".markdown" becomes ".md"; categories make the pretty address and are
  // a list, as Jekyll reads them; links into assets/ and images/ reach the
  // copies under static/.
  EXPECT_EQ(Read("_posts/2018-05-06-welcome-to-jekyll.md"),
            "---\nlayout: post\ntitle:  \"Welcome to Jekyll!\"\n"
            "categories: [\"jekyll\", \"Update\"]\n"
            "date: 2018-05-06\n"
            "aliases:\n  - \"/jekyll/update/2018/05/06/welcome-to-jekyll/\"\n---\n"
            "![x](/assets/x.png) and ![y](../images/y.png)\n");
  // The front matter's date wins over the name's.
  EXPECT_CONTAINS(Read("_posts/2018-07-08-dated.md"),
                  "date: 2018-07-09 10:00:00 +0800\naliases:\n  - \"/2018/07/09/dated/\"\n---\n");
  // A post without front matter gets one, with the date of its name.
  EXPECT_EQ(Read("_posts/2019-01-01-plain.md"),
            "---\ndate: 2019-01-01\naliases:\n  - \"/2019/01/01/plain/\"\n---\n"
            "No front matter at all.\n");
  EXPECT_EQ(Read("_posts/an-idea.md"), "---\ntitle: An idea\ndraft: true\n---\nMaybe.\n");
  EXPECT_EQ(Read("static/assets/x.png"), "x-bytes");
  EXPECT_EQ(Read("static/images/y.png"), "y-bytes");
  EXPECT_EQ(Read("static/CNAME"), "jekyll.example.org\n");
  EXPECT_CONTAINS(imported.out, "skipped _posts/2017-01-01-old.html: not Markdown\n");
}

TEST_F(ImportCommandTest, OldAddressesFollowEachSitesSettings) {
  // Hexo: the date may come from new_post_name, :category is the last
  // category with its parents, a post's own permalink wins.
  PutSite("hexo/_config.yml",
          "permalink: :category/:title.html\nnew_post_name: :year-:month-:day-:title.md\n"
          "default_category: misc\n");
  PutSite("hexo/source/_posts/2019-03-05-dated-name.md",
          "---\ntitle: T\ncategories: [Tech, C++ Tips]\n---\n");
  PutSite("hexo/source/_posts/own.md", "---\npermalink: /custom/place/\n---\n");
  PutSite("hexo/source/_posts/uncategorized.md", "---\ntitle: U\n---\n");
  EXPECT_EQ(ImportMade("hexo").status, 0);
  EXPECT_CONTAINS(Read("_posts/2019-03-05-dated-name.md"), "\"/Tech/C-Tips/dated-name.html\"");
  EXPECT_CONTAINS(Read("_posts/own.md"), "\"/custom/place/\"");
  EXPECT_CONTAINS(Read("_posts/uncategorized.md"), "\"/misc/uncategorized.html\"");

  // Hugo: a YAML configuration with page permalinks and ugly URLs; a url
  // of the post's own is its address.
  PutSite("hugo/hugo.yaml",
          "uglyURLs: true\npermalinks:\n  page:\n    post: /:section/:year/:filename/\n");
  PutSite("hugo/content/post/Mixed Case.md", "---\ntitle: X\ndate: 2020-05-06\n---\n");
  PutSite("hugo/content/post/moved.md", "---\nurl: /somewhere/else/\n---\n");
  EXPECT_EQ(ImportMade("hugo").status, 0);
  EXPECT_CONTAINS(Read("_posts/Mixed Case.md"), "\"/post/2020/mixed-case.html\"");
  EXPECT_CONTAINS(Read("_posts/moved.md"), "\"/somewhere/else/\"");

  // Jekyll: a pattern of its own; the slug of the front matter wins.
  PutSite("jekyll/_config.yml", "permalink: /blog/:year/:title:output_ext\n");
  PutSite("jekyll/_posts/2020-02-03-Some Post.md", "---\nslug: better\n---\n");
  EXPECT_EQ(ImportMade("jekyll").status, 0);
  EXPECT_EQ(Read("_posts/2020-02-03-Some Post.md"),
            "---\nslug: better\ndate: 2020-02-03\naliases:\n  - \"/blog/2020/better.html\"\n---\n");

  // What cannot be told is said, and the post still comes over.
  PutSite("hexo2/_config.yml", "permalink: p/:id/\n");
  PutSite("hexo2/source/_posts/with-id.md", "---\ntitle: I\n---\n");
  Outcome unknown = ImportMade("hexo2");
  EXPECT_EQ(unknown.status, 0);
  EXPECT_CONTAINS(unknown.out,
                  "note    source/_posts/with-id.md: old address unknown: no value for :id\n");
  EXPECT_EQ(Read("_posts/with-id.md"), "---\ntitle: I\n---\n");
}

TEST_F(ImportCommandTest, PostsNamedInNoTextAreLeftBehindAndTheRestBuilds) {
  PutSite("hexo/_config.yml", "title: Old\n");
  PutSite("hexo/source/_posts/caf\xE9.md", "---\ntitle: Caf\xC3\xA9\n---\nLatin-1 name.\n");
  PutSite("hexo/source/_posts/fine.md", "---\ntitle: Fine\n---\nFine.\n");
  Outcome imported = ImportMadeOk("hexo");
  EXPECT_CONTAINS(imported.out, "skipped source/_posts/caf\xE9.md: its name is not UTF-8 text");
  EXPECT_FALSE(Exists("_posts/caf\xE9.md"));
  EXPECT_TRUE(Exists("_posts/fine.md"));
  EXPECT_TRUE(BuildOk());
}

TEST_F(ImportCommandTest, SymbolicLinksAreNeitherFollowedNorWrittenThrough) {
  PutSite("outside.png", "secret");
  PutSite("hugo/hugo.toml", "");
  PutSite("hugo/content/post/b/index.md", "![](cover.png) ![](../../../../outside.png)\n");
  PutSite("hugo/content/post/b/cover.png", "c");
  fs::create_directories(tmp_ + "/hugo/static");
  fs::create_symlink(tmp_ + "/outside.png", tmp_ + "/hugo/static/linked.png");
  fs::create_directories(tmp_ + "/elsewhere");
  fs::create_directories(ws_ + "/static");
  fs::create_symlink(tmp_ + "/elsewhere", ws_ + "/static/images");

  Outcome imported = ImportMadeOk("hugo");
  EXPECT_CONTAINS(imported.out, "skipped static/linked.png: a symbolic link, not followed\n");
  EXPECT_CONTAINS(imported.out,
                  "skipped content/post/b/cover.png: static/images/b/cover.png would be outside "
                  "the workspace\n");
  EXPECT_TRUE(fs::is_empty(tmp_ + "/elsewhere"));
  EXPECT_FALSE(Exists("static/linked.png"));
  // A link that leaves the old site is left as it is.
  EXPECT_CONTAINS(Read("_posts/b.md"), "![](../images/b/cover.png) ![](../../../../outside.png)\n");

  // Nor is a folder the import starts from followed when it is a link.
  PutSite("jekyll/_posts/2020-01-01-a.md", "x\n");
  PutSite("shared/secret.txt", "secret");
  fs::create_symlink(tmp_ + "/shared", tmp_ + "/jekyll/assets");
  Outcome linked = ImportMadeOk("jekyll");
  EXPECT_CONTAINS(linked.out, "skipped assets: a symbolic link, not followed\n");
  EXPECT_FALSE(Exists("static/assets"));
}

TEST_F(ImportCommandTest, EverySectionAndCollectionWithTheirDatesBuildsWithItsOldAddresses) {
  if (!UseShippedPages()) GTEST_SKIP() << "the shipped manager page has not been built";
  // Hugo: posts in a blog section, dated by publishDate or, for the
  // frontmatter setting, by the file name; ugly URLs spelled in lower case.
  PutSite("hugo/hugo.toml",
          "uglyurls = true\ntimeZone = \"Europe/Berlin\"\n[permalinks]\n"
          "blog = \"/:year/:month/:day/:slug/\"\n[frontmatter]\ndate = [\":filename\", "
          "\":default\"]\n");
  PutSite("hugo/content/blog/first.md",
          "---\ntitle: First\nslug: first\npublishDate: 2018-02-17T10:00:00\n---\n"
          "One, then [two](/2018/03/01/second.html#part).\n");
  PutSite("hugo/content/blog/2018-03-01-second.md",
          "---\ntitle: Second\nslug: second\n---\nTwo.\n");
  PutSite("hugo/content/blog/zoned.md",
          "---\ntitle: Zoned\nslug: zoned\ndate: 2018-07-01 09:30:00\n---\nThree.\n");
  PutSite("hugo/content/docs/manual.md", "---\ntitle: Manual\n---\nUndated.\n");
  PutSite("hugo/content/about.md", "---\ntitle: About\n---\nMe.\n");
  Outcome hugo = ImportMadeOk("hugo");
  EXPECT_EQ(Read("_posts/first.md"),
            "---\ntitle: First\nslug: first\npublishDate: 2018-02-17T10:00:00\n"
            "date: 2018-02-17T10:00:00+01:00\ncategories:\n  - \"blog\"\n"
            "aliases:\n  - \"/2018/02/17/first.html\"\n---\n"
            "One, then [two](../articles/second.html#part).\n");
  EXPECT_CONTAINS(Read("_posts/2018-03-01-second.md"),
                  "date: 2018-03-01T00:00:00+01:00\ncategories:\n  - \"blog\"\n"
                  "aliases:\n  - \"/2018/03/01/second.html\"\n");
  // A date without an offset is read in the site's time zone (summer time).
  EXPECT_CONTAINS(Read("_posts/zoned.md"), "date: 2018-07-01T09:30:00+02:00\n");
  EXPECT_CONTAINS(hugo.out, "skipped content/docs/: 1 page(s) without dates, not posts");
  EXPECT_CONTAINS(hugo.out, "copied  content/about.md -> _pages/about.md\n");
  EXPECT_FALSE(Exists("_posts/manual.md"));

  // Jekyll: a published collection's dated documents, with its own
  // permalink; space-separated tags; the site's time zone.
  PutSite("jekyll/_config.yml",
          "timezone: Asia/Shanghai\nurl: https://old.example.org\nbaseurl: /blog\n"
          "collections:\n  notes:\n    output: true\n"
          "    permalink: /notes/:path/\n  drafts_box:\n    output: false\n");
  PutSite("jekyll/_posts/2019-05-06-tagged.md",
          "---\ntitle: Tagged\ntags: gan long-read math-heavy\n---\n"
          "[A note](/notes/2019-06-01-a-note/index.html), [elsewhere](/about/).\n");
  PutSite("jekyll/_notes/2019-06-01-a-note.md", "---\ntitle: A note\n---\nNote.\n");
  // Links by full address or under the site's base path reach the article.
  PutSite(
      "jekyll/_posts/2019-07-01-links.md",
      "[1](https://old.example.org/blog/2019/05/06/tagged.html) "
      "[2](http://old.example.org/blog/notes/2019-06-01-a-note/) "
      "[3](/blog/2019/05/06/tagged.html#x) [4](https://elsewhere.org/2019/05/06/tagged.html)\n");
  PutSite("jekyll/_notes/undated.md", "---\ntitle: Undated\n---\nNo date.\n");
  PutSite("jekyll/travel/_posts/2019-08-01-trip.md", "---\ntitle: Trip\n---\nAway.\n");
  PutSite("jekyll/_drafts_box/2019-01-01-hidden.md", "---\ntitle: Hidden\n---\n");
  Outcome jekyll = ImportMadeOk("jekyll");
  EXPECT_EQ(Read("_posts/2019-05-06-tagged.md"),
            "---\ntitle: Tagged\ntags: [\"gan\", \"long-read\", \"math-heavy\"]\n"
            "date: 2019-05-06T00:00:00+08:00\naliases:\n  - \"/2019/05/06/tagged.html\"\n---\n"
            "[A note](../articles/2019-06-01-a-note.html), [elsewhere](/about/).\n");
  EXPECT_CONTAINS(Read("_posts/2019-07-01-links.md"),
                  "[1](../articles/2019-05-06-tagged.html) "
                  "[2](../articles/2019-06-01-a-note.html) "
                  "[3](../articles/2019-05-06-tagged.html#x) "
                  "[4](https://elsewhere.org/2019/05/06/tagged.html)\n");
  EXPECT_CONTAINS(Read("_posts/2019-06-01-a-note.md"),
                  "categories:\n  - \"notes\"\naliases:\n  - \"/notes/2019-06-01-a-note/\"\n");
  // A folder's _posts/ holds posts of the folder's category.
  EXPECT_CONTAINS(Read("_posts/2019-08-01-trip.md"),
                  "categories:\n  - \"travel\"\naliases:\n  - \"/travel/2019/08/01/trip.html\"\n");
  EXPECT_CONTAINS(jekyll.out,
                  "skipped _notes/undated.md: a document of the collection notes without a date");
  EXPECT_CONTAINS(jekyll.out, "note    the collection drafts_box is not published");
  EXPECT_FALSE(Exists("_posts/2019-01-01-hidden.md"));

  // Hexo: the date of new_post_name, in the site's time zone.
  PutSite("hexo/_config.yml",
          "timezone: America/New_York\nnew_post_name: :year-:month-:day-:title.md\n");
  PutSite("hexo/source/_posts/2014-07-13-old-post.md",
          "---\ntitle: Old post\ncategories:\n- Diary\n- Life\n---\nOld.\n");
  PutSite("hexo/source/_posts/2014-07-14-two.md",
          "---\ntitle: Two\ncategories: [[Tech, C++], Notes]\n---\nTwo.\n");
  Outcome hexo = ImportMadeOk("hexo");
  // A list of categories is one nested path in Hexo; a list of lists, several.
  EXPECT_CONTAINS(Read("_posts/2014-07-13-old-post.md"),
                  "categories: [\"Diary/Life\"]\ndate: 2014-07-13T00:00:00-04:00\n"
                  "aliases:\n  - \"/2014/07/13/old-post/\"\n");
  EXPECT_CONTAINS(Read("_posts/2014-07-14-two.md"), "categories: [\"Tech/C++\", \"Notes\"]\n");

  // Built, the posts keep their dates and each old address leads to its
  // article.
  ASSERT_TRUE(BuildOk());
  const std::pair<const char*, const char*> redirects[] = {
      {"2018/02/17/first.html", "articles/first.html"},
      {"2018/03/01/second.html", "articles/second.html"},
      {"2019/05/06/tagged.html", "articles/2019-05-06-tagged.html"},
      {"travel/2019/08/01/trip.html", "articles/2019-08-01-trip.html"},
      {"notes/2019-06-01-a-note/index.html", "articles/2019-06-01-a-note.html"},
      {"2014/07/13/old-post/index.html", "articles/2014-07-13-old-post.html"},
  };
  for (const auto& [old_page, article] : redirects) {
    ASSERT_TRUE(Exists("public/" + std::string(old_page))) << old_page;
    EXPECT_CONTAINS(Read("public/" + std::string(old_page)), article);
    EXPECT_TRUE(Exists("public/" + std::string(article))) << article;
  }
  ExpectWholeSite(jekyll, {.base_path = "/blog"});
  // Links between the posts lead to the articles without a redirect.
  EXPECT_CONTAINS(Read("public/articles/first.html"), "href=\"../articles/second.html#part\"");
  EXPECT_CONTAINS(Read("public/articles/2019-05-06-tagged.html"),
                  "href=\"../articles/2019-06-01-a-note.html\"");
}

TEST_F(ImportCommandTest, HugoShortcodesBecomeMarkdownAndTheRestAreReported) {
  if (!UseShippedPages()) GTEST_SKIP() << "the shipped manager page has not been built";
  PutSite("hugo/hugo.toml", "[params]\nauthor = \"Ann\"\n");
  PutSite("hugo/content/posts/other.md", "---\ntitle: Other\ndate: 2020-01-01\n---\nOther.\n");
  PutSite("hugo/content/posts/cat.png", "png");
  PutSite("hugo/content/posts/all.md",
          "---\ntitle: All\ndate: 2020-01-02\nmood: calm\n---\n"
          "{{< highlight html >}}\n<!DOCTYPE html>\n# not a heading\n{{< /highlight >}}\n\n"
          "{{< figure src=\"cat.png\" title=\"A cat\" caption=\"Sleeping\" >}}\n\n"
          "See [other]({{< ref \"posts/other.md#part\" >}}) and "
          "[again]({{< relref \"other\" >}}).\n\n"
          "{{< youtube w7Ft2ymGmfc >}}\n\n{{< vimeo id=\"146022717\" >}}\n\n"
          "{{< x user=\"SanDiegoZoo\" id=\"1453110110599868418\" >}} "
          "{{< gist spf13 7896402 >}} {{< instagram CxOWiQNP2MO >}}\n\n"
          "By {{< param author >}}, {{% param mood %}}.\n\n"
          "{{< unknown thing >}} and [gone]({{< ref \"missing\" >}})\n\n"
          "Shown: {{</* youtube ID */>}} `{{< youtube inspan >}}`\n\n"
          "```\n{{< youtube infence >}}\n```\n\n    {{< youtube inindent >}}\n");
  Outcome imported = ImportMadeOk("hugo");
  const std::string post = Read("_posts/all.md");
  EXPECT_CONTAINS(post, "```html\n<!DOCTYPE html>\n# not a heading\n```\n");
  EXPECT_CONTAINS(post, "[other](../articles/other.html#part) and [again](../articles/other.html)");
  EXPECT_CONTAINS(post, "By Ann, calm.");
  EXPECT_CONTAINS(post, "Shown: {{< youtube ID >}} `{{< youtube inspan >}}`");
  EXPECT_CONTAINS(post, "```\n{{< youtube infence >}}\n```\n\n    {{< youtube inindent >}}\n");
  EXPECT_CONTAINS(imported.out, "content/posts/all.md:23: {{< unknown thing >}} left as written");
  EXPECT_CONTAINS(imported.out, "content/posts/all.md:23: {{< ref \"missing\" >}} left as written");
  EXPECT_CONTAINS(imported.out, "11 template tag(s) translated");

  ASSERT_TRUE(BuildOk());
  const std::string page = Read("public/articles/all.html");
  EXPECT_CONTAINS(page, "<code class=\"language-html\">&lt;!DOCTYPE html&gt;");
  EXPECT_CONTAINS(page, "<figcaption><strong>A cat</strong> Sleeping</figcaption>");
  EXPECT_CONTAINS(page, "<img src=\"../images/all/cat.png\"");
  for (const std::string address :
       {"www.youtube.com/watch?v=w7Ft2ymGmfc", "vimeo.com/146022717",
        "x.com/SanDiegoZoo/status/1453110110599868418", "gist.github.com/spf13/7896402",
        "www.instagram.com/p/CxOWiQNP2MO/"}) {
    EXPECT_CONTAINS(page, "href=\"https://" + address + "\"");
  }
  EXPECT_EQ(page.find("<iframe"), std::string::npos);
  EXPECT_EQ(page.find("<h1>not a heading"), std::string::npos);
  ExpectWholeSite(imported, {.left = {"{{< unknown thing >}}", "{{< ref \"missing\" >}}"},
                             .examples = {"{{< youtube ID >}}"}});
}

TEST_F(ImportCommandTest, HexoTagsBecomeMarkdownAndTheRestAreReported) {
  if (!UseShippedPages()) GTEST_SKIP() << "the shipped manager page has not been built";
  PutSite("hexo/_config.yml", "new_post_name: :title.md\n");
  PutSite("hexo/source/_posts/other.md", "---\ntitle: The other\ndate: 2020-01-01\n---\nO.\n");
  PutSite("hexo/source/_posts/all/cat.png", "png");
  PutSite("hexo/source/_posts/all.md",
          "---\ntitle: All\ndate: 2020-01-02\n---\n"
          "{% codeblock Example lang:python https://example.org/a.py source %}\n"
          "# not a heading\nprint(1)\n{% endcodeblock %}\n\n"
          "{% code %}\nplain\n{% endcode %}\n\n"
          "{% blockquote Ann, Book https://example.org/book %}\nQuoted.\n{% endblockquote %}\n\n"
          "{% pullquote wide %}\nPulled.\n{% endpullquote %}\n\n"
          "{% note warning Careful %}\nHot, see {% post_link other %}.\n{% endnote %}\n\n"
          "[path]({% post_path other %}) {% post_link other \"Named\" %}\n\n"
          "{% asset_img cat.png A cat %} {% asset_img dog.png %}\n\n"
          "{% youtube w7Ft2ymGmfc %} {% iframe https://player.vimeo.com/video/146022717 %}\n\n"
          "{% raw %}{{ kept }}{% endraw %} {% unknown %} `{% code %}`\n\n"
          "\t{% post_link other %}\n");
  Outcome imported = ImportMadeOk("hexo");
  const std::string post = Read("_posts/all.md");
  EXPECT_CONTAINS(post,
                  "*Example* [source](https://example.org/a.py)\n\n"
                  "```python\n# not a heading\nprint(1)\n```\n");
  EXPECT_CONTAINS(post, "```\nplain\n```\n");
  EXPECT_CONTAINS(post, "> Quoted.\n>\n> — Ann, [Book](https://example.org/book)\n");
  EXPECT_CONTAINS(post,
                  "> [!WARNING]\n> **Careful**\n>\n"
                  "> Hot, see [The other](../articles/other.html).\n");
  EXPECT_CONTAINS(post, "[path](../articles/other.html) [Named](../articles/other.html)");
  EXPECT_CONTAINS(post, "{{ kept }} {% unknown %} `{% code %}`\n\n\t{% post_link other %}\n");
  EXPECT_CONTAINS(imported.out, "source/_posts/all.md:28: {% asset_img dog.png %} left as written");
  EXPECT_CONTAINS(imported.out, "source/_posts/all.md:32: {% unknown %} left as written");

  ASSERT_TRUE(BuildOk());
  const std::string page = Read("public/articles/all.html");
  EXPECT_CONTAINS(page, "<code class=\"language-python\"># not a heading");
  EXPECT_CONTAINS(page, "<blockquote class=\"pullquote wide\">");
  EXPECT_CONTAINS(page, "<img src=\"../images/all/cat.png\"");
  for (const std::string address : {"www.youtube.com/watch?v=w7Ft2ymGmfc", "vimeo.com/146022717"}) {
    EXPECT_CONTAINS(page, "href=\"https://" + address + "\"");
  }
  EXPECT_EQ(page.find("<iframe"), std::string::npos);
  ExpectWholeSite(imported, {.left = {"{% asset_img dog.png %}", "{% unknown %}"}});
}

// Each generator's Markdown pages come over into _pages/, their tags
// translated and links to posts and own files rewritten as a post's, and
// build at their addresses.
TEST_F(ImportCommandTest, PagesComeIntoPagesAndBuildAtTheirAddresses) {
  if (!UseShippedPages()) GTEST_SKIP() << "the shipped manager page has not been built";
  struct Case {
    const char* site;
    std::vector<std::pair<const char*, const char*>> files;  // of the old site
    const char* report;                                      // the import's line for the page
    const char* page;                                        // the imported page
    const char* text;                                        // in it
    const char* built;                                       // its page under public/
    const char* html;                                        // in that
    // More files the import and the build write, with a text each holds.
    std::vector<std::pair<const char*, const char*>> also;
  } cases[] = {
      {"jekyll",
       {{"_config.yml", "url: https://old.example.org\n"},
        {"_posts/2020-01-02-hello.md", "---\ntitle: Hello\n---\nHi.\n"},
        {"about.md",
         "---\ntitle: About\npermalink: /about/\n---\n"
         "Read [hello]({% post_url 2020-01-02-hello %}).\n"},
        {"_pages/cv.md", "---\ntitle: CV\n---\nMy CV.\n"},
        {"docs/guide.md", "---\ntitle: Guide\n---\nThe guide.\n"},
        {"notes.md", "No front matter: Jekyll copies it as it is.\n"},
        {"index.md", "---\nlayout: home\n---\n"}},
       "copied  about.md -> _pages/about.md (1 link(s) rewritten)",
       "_pages/about.md",
       "Read [hello](../articles/2020-01-02-hello.html).",
       "public/about/index.html",
       "<a href=\"../articles/2020-01-02-hello.html\">hello</a>",
       {{"_pages/cv.md", "---\ntitle: CV\n---\nMy CV.\n"},
        {"public/guide/index.html", "The guide."},
        // Where Jekyll put a page without a permalink, a redirect to it.
        {"_pages/guide.md", "aliases:\n  - \"/docs/guide.html\"\n"},
        {"public/docs/guide.html", "url=../guide/index.html\""}}},
      {"hugo",
       {{"hugo.toml", "baseURL = \"https://old.example.org/\"\n"},
        {"content/posts/first.md", "---\ntitle: First\ndate: 2020-01-02\n---\nOne.\n"},
        {"content/about.md",
         "---\ntitle: About\nurl: /me/\n---\nRead [first]({{< ref \"posts/first.md\" >}}).\n"},
        {"content/contact/index.md", "---\ntitle: Contact\n---\n![map](map.png)\n"},
        {"content/contact/map.png", "png"},
        {"content/_index.md", "---\ntitle: Home\n---\n"}},
       "copied  content/about.md -> _pages/about.md (1 template tag(s) translated, permalink /me/)",
       "_pages/about.md",
       "url: /me/\npermalink: /me/\n---\n",
       "public/me/index.html",
       "<a href=\"../articles/first.html\">first</a>",
       {{"_pages/contact.md", "![map](../images/contact/map.png)"},
        {"public/contact/index.html", "src=\"../images/contact/map.png\""},
        {"public/images/contact/map.png", "png"}}},
      {"hexo",
       {{"_config.yml", "url: https://old.example.org\n"},
        {"source/_posts/hello.md", "---\ntitle: Hello\ndate: 2020-01-02\n---\nHi.\n"},
        {"source/about/index.md", "---\ntitle: About\n---\n![me](me.png)\n"},
        {"source/about/me.png", "png"},
        {"source/links.md", "Links.\n"}},
       "copied  source/about/index.md -> _pages/about.md (1 link(s) rewritten)",
       "_pages/about.md",
       "![me](../about/me.png)",
       "public/about/index.html",
       "<img src=\"../about/me.png\" alt=\"me\">",
       {{"public/about/me.png", "png"},
        {"public/links/index.html", "<p>Links.</p>"},
        {"public/links.html", "url=links/index.html\""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.site);
    fs::remove_all(ws_ + "/_pages");
    fs::remove_all(ws_ + "/_posts");
    for (const auto& [file, text] : c.files) PutSite(std::string(c.site) + "/" + file, text);
    Outcome imported = ImportMade(c.site);
    ASSERT_EQ(imported.status, 0) << imported.out << imported.err;
    EXPECT_CONTAINS(imported.out, c.report);
    EXPECT_CONTAINS(Read(c.page), c.text);
    Outcome built = Run("build");
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_CONTAINS(Read(c.built), c.html);
    for (const auto& [file, text] : c.also) EXPECT_CONTAINS(Read(file), text);
    // A file without front matter is no Jekyll page; the home page and
    // Hugo's list pages are none either.
    for (const char* file : {"_pages/notes.md", "_pages/index.md", "_pages/_index.md"})
      EXPECT_FALSE(Exists(file)) << file;
  }
}

// The old site's folder may hold the workspace: none of its files is a
// page of the old site.
TEST_F(ImportCommandTest, AWorkspaceInsideTheOldSiteGivesItNoPages) {
  PutSite("_posts/2020-01-02-hello.md", "---\ntitle: Hello\n---\nHi.\n");
  PutSite("about.md", "---\ntitle: About\n---\nMe.\n");
  Put("notes/mine.md", "---\ntitle: Mine\n---\nThe workspace's own.\n");
  Outcome imported = Run("import '" + tmp_ + "'");
  ASSERT_EQ(imported.status, 0) << imported.out << imported.err;
  EXPECT_TRUE(Exists("_pages/about.md"));
  EXPECT_FALSE(Exists("_pages/mine.md")) << imported.out;
}

TEST_F(ImportCommandTest, AnImportWithoutPostsFailsAndSaysWhatItLeftBehind) {
  PutSite("hugo/hugo.toml", "");
  PutSite("hugo/content/docs/manual.md", "---\ntitle: Manual\n---\nUndated.\n");
  PutSite("hugo/content/about.md", "---\ntitle: About\n---\nMe.\n");
  PutSite("hugo/static/logo.png", "logo");
  Outcome imported = ImportMade("hugo");
  EXPECT_EQ(imported.status, 1) << imported.out;
  // A page and a static file came, no post.
  EXPECT_CONTAINS(imported.out, "2 file(s) imported\n");
  EXPECT_EQ(Read("static/logo.png"), "logo");
  EXPECT_CONTAINS(imported.err, "no post imported; content left behind: content/docs/\n");
}

TEST_F(ImportCommandTest, ChosenSectionsAreThePostsWithoutACategory) {
  PutSite("hugo/hugo.toml", "");
  PutSite("hugo/content/blog/dated.md", "---\ntitle: Dated\ndate: 2020-01-02\n---\n");
  PutSite("hugo/content/notes/undated.md", "---\ntitle: Undated\n---\nA note.\n");
  Outcome imported = Run("import --section notes,missing '" + tmp_ + "/hugo'");
  EXPECT_EQ(imported.status, 0) << imported.out << imported.err;
  EXPECT_EQ(Read("_posts/undated.md"),
            "---\ntitle: Undated\naliases:\n  - \"/notes/undated/\"\n---\nA note.\n");
  EXPECT_FALSE(Exists("_posts/dated.md"));
  EXPECT_CONTAINS(imported.out,
                  "skipped content/blog/: 1 page(s) of a section not chosen (not imported)\n");
  EXPECT_CONTAINS(imported.out, "note    no section missing in content\n");
}

TEST_F(ImportCommandTest, UnknownSitesAndBadArgumentsImportNothing) {
  Outcome unknown = Run("import '" + tmp_ + "'");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_CONTAINS(unknown.err, "not a Hexo, Hugo or Jekyll site");
  Outcome missing = Run("import '" + tmp_ + "/nowhere'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_CONTAINS(missing.err, "nowhere: no such folder");
  EXPECT_EQ(Run("import").status, 2);
  EXPECT_EQ(Run("import a b").status, 2);
}

// Each generator's settings, as a new blog (tarn init) takes them over.
TEST_F(ImportCommandTest, SettingsOfEachGeneratorReplaceANewBlogsOwnAndItsWelcomePostGoes) {
  struct Case {
    std::string site;
    std::string settings_file;
    std::string settings;
    std::string post_file;
    std::vector<std::string> expected;  // texts base.json holds after
  };
  const std::string post = "---\ntitle: One\ndate: 2020-01-02\n---\nText.\n";
  const Case cases[] = {
      {"hugo",
       "hugo.toml",
       "baseURL = 'https://old.example.org/'\ntitle = 'Old Hugo'\nlanguageCode = 'en-us'\n"
       "timeZone = 'Europe/Berlin'\n[params]\ndescription = 'About things'\n"
       "[params.author]\nname = 'Ann'\n",
       "content/posts/one.md",
       {"\"title\": \"Old Hugo\"", "\"description\": \"About things\"", "\"author\": \"Ann\"",
        "\"url\": \"https://old.example.org\"", "\"language\": \"en-US\"",
        "\"timeZone\": \"Europe/Berlin\""}},
      // A theme's parameters in a file of their own.
      {"hugo-split",
       "config/_default/hugo.yaml",
       "baseURL: https://split.example.org/blog/\ntitle: Split\ndefaultContentLanguage: de\n",
       "content/blog/one.md",
       {"\"title\": \"Split\"", "\"url\": \"https://split.example.org/blog\"",
        "\"language\": \"de\"", "\"description\": \"Apart\"", "\"author\": \"Eve\""}},
      {"jekyll",
       "_config.yml",
       "title: Old Jekyll\ndescription: Notes\nauthor:\n  name: Bo\nlang: zh_CN\n"
       "url: https://bo.example.org\nbaseurl: /blog\ntimezone: Asia/Shanghai\n",
       "_posts/2020-01-02-one.md",
       {"\"title\": \"Old Jekyll\"", "\"author\": \"Bo\"", "\"language\": \"zh-CN\"",
        "\"url\": \"https://bo.example.org/blog\"", "\"timeZone\": \"Asia/Shanghai\""}},
      {"hexo",
       "_config.yml",
       "title: Old Hexo\nauthor: Cy\nlanguage:\n  - zh-hans-cn\n  - en\n"
       "url: https://cy.example.org\ntimezone: America/New_York\n",
       "source/_posts/one.md",
       {"\"title\": \"Old Hexo\"", "\"author\": \"Cy\"", "\"language\": \"zh-Hans-CN\"",
        "\"timeZone\": \"America/New_York\""}},
  };
  PutSite("hugo-split/config/_default/params.toml", "description = 'Apart'\nauthor = 'Eve'\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.site);
    const std::string blog = tmp_ + "/blog-" + c.site;
    ASSERT_EQ(RunTarn(blog, "init").status, 0);
    PutSite(c.site + "/" + c.settings_file, c.settings);
    PutSite(c.site + "/" + c.post_file, post);
    Outcome imported = RunTarn(blog, "import '" + tmp_ + "/" + c.site + "'");
    EXPECT_EQ(imported.status, 0) << imported.out << imported.err;
    std::string base;
    ASSERT_TRUE(ReadTextFile(blog + "/config/base.json", &base));
    for (const std::string& text : c.expected) EXPECT_CONTAINS(base, text);
    // The settings tarn init wrote that the old site does not name stay.
    EXPECT_CONTAINS(base, "\"theme\": \"lake\"");
    EXPECT_FALSE(fs::exists(blog + "/_posts/Hello Tarn.md"));
    EXPECT_CONTAINS(imported.out, "_posts/Hello Tarn.md: tarn init's welcome post, unchanged");
    EXPECT_EQ(RunTarn(blog, "build").status, 0);
  }
}

TEST_F(ImportCommandTest, SettingsAndAWelcomePostTheBloggerChangedAreKept) {
  const std::string blog = tmp_ + "/blog";
  ASSERT_EQ(RunTarn(blog, "init").status, 0);
  std::string base, welcome;
  ASSERT_TRUE(ReadTextFile(blog + "/config/base.json", &base));
  ASSERT_TRUE(ReadTextFile(blog + "/_posts/Hello Tarn.md", &welcome));
  const std::string title_key = "\"title\": \"";
  size_t title = base.find(title_key);
  ASSERT_NE(title, std::string::npos);
  base.insert(title + title_key.size(), "Mine: ");
  ASSERT_TRUE(WriteTextFile(blog + "/config/base.json", base));
  ASSERT_TRUE(WriteTextFile(blog + "/_posts/Hello Tarn.md", welcome + "\nMy own line.\n"));
  PutSite("old/_config.yml", "title: Old\nauthor: Dee\n");
  PutSite("old/_posts/2020-01-02-one.md", "---\ntitle: One\n---\nText.\n");

  Outcome imported = RunTarn(blog, "import '" + tmp_ + "/old'");
  EXPECT_EQ(imported.status, 0) << imported.out << imported.err;
  std::string after;
  ASSERT_TRUE(ReadTextFile(blog + "/config/base.json", &after));
  EXPECT_CONTAINS(after, "\"title\": \"Mine: ");
  EXPECT_CONTAINS(after, "\"author\": \"Dee\"");
  std::string kept;
  ASSERT_TRUE(ReadTextFile(blog + "/_posts/Hello Tarn.md", &kept));
  EXPECT_EQ(kept, welcome + "\nMy own line.\n");
  EXPECT_CONTAINS(imported.out, "_posts/Hello Tarn.md: tarn init's welcome post, edited since");
}

TEST_F(ImportCommandTest, JekyllLiquidAndKramdownBecomeMarkdownThatBuilds) {
  if (!UseShippedPages()) GTEST_SKIP() << "the shipped manager page has not been built";
  PutSite("jekyll/_config.yml", "url: https://old.example.org\nbaseurl: /blog\n");
  PutSite("jekyll/_includes/note.html", "<aside>An included note.</aside>\n");
  PutSite("jekyll/_includes/card.html", "<div>{{ include.title }}</div>\n");
  PutSite("jekyll/assets/x.png", "x-bytes");
  PutSite("jekyll/_posts/2017-10-29-other.md", "---\ntitle: Other\nslug: other\n---\nOther.\n");
  PutSite("jekyll/_posts/2017-11-01-liquid.md",
          "---\ntitle: Liquid\nslug: liquid\n---\n"
          "* TOC\n{:toc}\n\n"
          "## First {: #first}\n\n"
          "See [the other]({{ site.baseurl }}{% post_url 2017-10-29-other %}) and "
          "![x]({{ '/assets/x.png' | relative_url }}){: .wide}\n\n"
          "{% highlight python linenos %}\n# a comment\nprint(1)\n{% endhighlight %}\n\n"
          "## Second\n{: .second}\n\n"
          "{% include note.html %}\n\n"
          "[again]({% link _posts/2017-10-29-other.md %}), [file]({% link assets/x.png %})\n\n"
          "`{{ kept }}` and {% raw %}{{ shown }}{% endraw %}, $$x_1$$ inline.\n");
  PutSite("jekyll/_posts/2017-11-02-left.md",
          "---\ntitle: Left\nslug: left\n---\nHello {{ page.title }}.\n\n"
          "{% include card.html title=\"x\" %}\n![p](p.png)\n"
          "[gone]({% post_url 2000-01-01-gone %})\n");
  // A file of the name that is no post is not the post post_url names.
  PutSite("jekyll/_posts/2000-01-01-gone.png", "png");
  // Headings with ids of their own; Liquid shown as indented code.
  PutSite("jekyll/_posts/2017-11-03-code.md",
          "---\ntitle: Code\nslug: code\n---\n## Own {: #own}\n\nText.\n\n## Own\n\n"
          "    {% post_url 2017-10-29-other %} {{ site.url }}/x\n");
  // A theme with a table of contents.
  Put("themes/plain/_conf.json", "{\"name\": \"plain\", \"sitemap\": true}\n");
  Put("themes/plain/post.mtpl",
      "{-extend name=\"./layout.mtpl\"}\n{-block name=\"body\"}\n<nav class=\"toc\">{$post.toc}"
      "</nav>\n<div class=\"content\">{$post.content}</div>\n{-block/}\n");
  // Its picture's first folder holds another file: the post is translated
  // again for the next one, and its remarks are still given once.
  PutSite("jekyll/_posts/p.png", "p-bytes");
  Put("static/images/2017-11-02-left/p.png", "other");
  Outcome imported = ImportMadeOk("jekyll");
  // Translated in place: code stays code, the raw block's text is shown,
  // inline $$...$$ is left to the converter.
  std::string post = Read("_posts/2017-11-01-liquid.md");
  EXPECT_EQ(post.substr(post.find("\n---\n") + 5),
            "\n## First {#first}\n\n"
            "See [the other](../articles/other.html) and ![x](../assets/x.png)\n\n"
            "```python\n# a comment\nprint(1)\n```\n\n"
            "## Second {.second}\n\n"
            "<aside>An included note.</aside>\n\n"
            "[again](../articles/other.html), [file](../assets/x.png)\n\n"
            "`{{ kept }}` and {{ shown }}, $$x_1$$ inline.\n");
  // Each construct left or dropped is reported with its file and line.
  EXPECT_CONTAINS(imported.out, "old address /2017/11/01/liquid.html, 5 link(s) rewritten)");
  EXPECT_CONTAINS(imported.out, "_posts/2017-11-01-liquid.md:5: * TOC {:toc}: dropped");
  EXPECT_CONTAINS(imported.out, "_posts/2017-11-01-liquid.md:10: {: .wide}: dropped");
  const std::string left = "_posts/2017-11-02-left.md:5: {{ page.title }}: not translated";
  EXPECT_CONTAINS(imported.out, left);
  EXPECT_EQ(imported.out.find(left), imported.out.rfind(left)) << imported.out;
  EXPECT_CONTAINS(imported.out, "its files in static/images/2017-11-02-left-2/");
  EXPECT_CONTAINS(imported.out, "left.md:9: {% post_url 2000-01-01-gone %}: not translated");
  EXPECT_CONTAINS(
      imported.out,
      "_posts/2017-11-02-left.md:7: {% include card.html title=\"x\" %}: not translated");

  ASSERT_TRUE(BuildOk());
  ExpectWholeSite(
      imported, {.left = {"{% include card.html title=\"x\" %}", "{% post_url 2000-01-01-gone %}"},
                 .base_path = "/blog"});
  std::string html = Read("public/articles/liquid.html");
  // The comment line is code, not a heading.
  EXPECT_EQ(html.find("<h1>a comment"), std::string::npos);
  EXPECT_CONTAINS(html, "a comment");
  EXPECT_CONTAINS(html, "href=\"../articles/other.html\"");
  EXPECT_TRUE(Exists("public/articles/other.html"));
  EXPECT_TRUE(Exists("public/assets/x.png"));
  EXPECT_CONTAINS(html, "id=\"first\"");
  // A heading's own id is its entry in the table of contents, and taken.
  EXPECT_EQ(imported.out.find("2017-11-03-code.md:"), std::string::npos) << imported.out;
  const std::string code = Read("public/articles/code.html");
  EXPECT_CONTAINS(code,
                  "<nav class=\"toc\"><ul><li><a href=\"#own\">Own</a></li>"
                  "<li><a href=\"#own-1\">Own</a></li></ul></nav>");
  EXPECT_CONTAINS(code, "<h2 id=\"own-1\">Own</h2>");
  EXPECT_CONTAINS(code, "<pre><code>{% post_url 2017-10-29-other %} {{ site.url }}/x\n");
}

TEST_F(ImportCommandTest, JekyllsExcerptSeparatorBecomesTheExcerptMarker) {
  if (!UseShippedPages()) GTEST_SKIP() << "the shipped manager page has not been built";
  PutSite("jekyll/_config.yml", "excerpt_separator: <!-- cut -->\n");
  // The site's separator, first met in code, then twice in the text.
  PutSite("jekyll/_posts/2020-01-01-site.md",
          "---\ntitle: Site\n---\nIntro.\n\n```\n<!-- cut -->\n```\n\n<!-- cut -->\n\n"
          "Rest.\n\n<!-- cut -->\n");
  // The post's own separator, within a paragraph.
  PutSite("jekyll/_posts/2020-01-02-own.md",
          "---\ntitle: Own\nexcerpt_separator: \"[cut]\"\n---\nFirst. [cut] Second.\n");
  PutSite("jekyll/_posts/2020-01-03-none.md", "---\ntitle: None\n---\nOnly.\n\nMore.\n");
  Outcome imported = ImportMadeOk("jekyll");
  auto body = [this](const std::string& name) {
    std::string post = Read("_posts/" + name);
    return post.substr(post.find("\n---\n") + 5);
  };
  EXPECT_EQ(body("2020-01-01-site.md"),
            "Intro.\n\n```\n<!-- cut -->\n```\n\n<!--more-->\n\nRest.\n\n<!-- cut -->\n");
  EXPECT_EQ(body("2020-01-02-own.md"), "First. \n<!--more-->\n Second.\n");
  EXPECT_EQ(body("2020-01-03-none.md"), "Only.\n\nMore.\n");

  // Built, the posts' excerpts end where the separator stood.
  ASSERT_TRUE(BuildOk());
  JsonDocument db;
  ASSERT_TRUE(db.Parse(Read("public/database.json")));
  std::map<std::string, std::string> excerpts;
  for (int i = 0; i < db.GetCount("posts"); ++i) {
    const std::string post = "posts[" + std::to_string(i) + "]";
    excerpts[db.GetText(post + ".title")] = db.GetText(post + ".excerpt");
  }
  EXPECT_CONTAINS(excerpts["Site"], "Intro.");
  EXPECT_CONTAINS(excerpts["Site"], "&lt;!-- cut --&gt;");
  EXPECT_EQ(excerpts["Site"].find("Rest."), std::string::npos) << excerpts["Site"];
  EXPECT_CONTAINS(excerpts["Own"], "First.");
  EXPECT_EQ(excerpts["Own"].find("Second."), std::string::npos) << excerpts["Own"];
  EXPECT_EQ(excerpts["None"], "");
}

}  // namespace
}  // namespace tarn
