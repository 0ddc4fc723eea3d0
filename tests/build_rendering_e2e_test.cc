// tarn build with a theme that asks for code and maths rendered while
// converting ("render": {"code": "build", "maths": "build"}): the article
// holds highlighted code and typeset formulas, the same HTML the editor's
// preview shows (tests/fixtures/render, also checked by pages_test.mjs), in
// one script host and in worker processes; a formula that does not parse is
// reported with its post; the conversion cache never hands out HTML
// rendered the other way; a theme that does not ask gets the HTML it always
// had; and the bundled theme needs no script for reading.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "data/text_file.h"
#include "support/expect_text.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr char kAsks[] = R"({"render": {"code": "build", "maths": "build"}})";
constexpr char kFrontMatter[] = "---\ntitle: Rendered\ndate: 2020-01-02 03:04:05\n---\n";

class RenderedBuildTest : public WorkspaceTest {
 protected:
  void SetUp() override {
    WorkspaceTest::SetUp();
    if (HasFatalFailure()) return;
    fs::path shipped = fs::path(TARN_BUILD_DIR) / "template";
    if (!fs::exists(shipped / "vendor" / "on-demand" / "katex.min.js"))
      GTEST_SKIP() << "the build has no template/vendor (web/node_modules missing)";
    fs::remove_all(ws_ + "/template");
    fs::copy(shipped, ws_ + "/template", fs::copy_options::recursive);
    sample_ = Fixture("rendered.md");
    Put("_posts/rendered.md", kFrontMatter + sample_);
  }

  static std::string Fixture(const std::string& name) {
    std::string text, error;
    EXPECT_TRUE(ReadTextFile(TARN_SOURCE_DIR "/tests/fixtures/render/" + name, &text, &error))
        << error;
    return text;
  }

  // A theme whose article page is the post's HTML between <main> tags,
  // asking the build for conf (its _conf.json).
  void UseTheme(const std::string& conf) {
    Put("themes/bare/_conf.json", conf);
    Put("themes/bare/index.mtpl", "<p>index</p>");
    Put("themes/bare/timeline.mtpl", "<p>timeline</p>");
    Put("themes/bare/post.mtpl",
        "{-if name=\"post.has_math\"}<link rel=\"stylesheet\" href=\"katex.css\">{-if/}"
        "<main>{$post.content}</main>");
    SelectTheme("bare");
  }

  // Makes the theme of that name the site's, in place of the fixture's "plain".
  void SelectTheme(const std::string& name) {
    std::string settings = Read("config/base.json");
    std::size_t plain = settings.find("\"plain\"");
    if (plain != std::string::npos) settings.replace(plain, 7, "\"" + name + "\"");
    Put("config/base.json", settings);
  }

  TarnOutcome Build(const std::string& options) {
    TarnOutcome outcome = RunTarn(ws_, "build " + options, "TARN_TEST_BYTES_PER_WORKER=0");
    EXPECT_EQ(outcome.status, 0) << options << "\n" << outcome.err;
    return outcome;
  }

  // The HTML between <main> and </main> of the article of name.
  std::string Main(const std::string& name) {
    std::string page = Read("public/articles/" + name + ".html");
    std::size_t start = page.find("<main>");
    std::size_t end = page.rfind("</main>");
    if (start == std::string::npos || end == std::string::npos) return "no <main> in " + page;
    return page.substr(start + 6, end - start - 6);
  }

  std::string sample_;
};

TEST_F(RenderedBuildTest, ArticlesHoldTheRenderedHtmlFromEveryHost) {
  UseTheme(kAsks);
  Put("_posts/plain.md", "Plain *text*, no code or maths.\n");
  // Enough posts for the build to hand some to worker processes.
  for (int i = 0; i < 12; ++i)
    Put("_posts/filler " + std::to_string(i) + ".md", "Filler $" + std::to_string(i) + ".\n");
  const std::string expected = Fixture("rendered.html");
  for (const char* options : {"-j 1 --no-cache", "-j 3 --no-cache"}) {
    TarnOutcome built = Build(options);
    // Compared whole, but not printed whole: the expected page is long.
    EXPECT_TRUE(Main("rendered") == expected) << options;
    EXPECT_EQ(built.err,
              ws_ +
                  "/_posts/rendered.md: a formula does not parse (KaTeX parse error: Unexpected "
                  "end of input in a macro argument, expected '}' at end of input: \\frac{a}{); "
                  "its page shows the formula as written, marked in red\n")
        << options;
    EXPECT_EQ(Read("public/articles/rendered.html").rfind("<link rel=\"stylesheet\"", 0), 0u);
    EXPECT_EQ(Read("public/articles/plain.html"),
              "<main><p>Plain <em>text</em>, no code or "
              "maths.</p>\n</main>");
  }
}

TEST_F(RenderedBuildTest, PagesAreRenderedAsArticlesAre) {
  UseTheme(kAsks);
  fs::remove(ws_ + "/_posts/rendered.md");
  Put("_posts/plain.md", "Plain.\n");
  Put("_pages/rendered.md", kFrontMatter + sample_);
  TarnOutcome built = Build("");
  std::string page = Read("public/rendered/index.html");
  EXPECT_EQ(page.rfind("<link rel=\"stylesheet\"", 0), 0u);
  EXPECT_TRUE(page.find("<main>" + Fixture("rendered.html") + "</main>") != std::string::npos);
  EXPECT_CONTAINS(built.err, ws_ + "/_pages/rendered.md: a formula does not parse");
}

TEST_F(RenderedBuildTest, AThemeThatDoesNotAskGetsTheHtmlForTheBrowser) {
  for (const char* conf : {"{}", R"({"render": {"code": "browser", "maths": "browser"}})"}) {
    UseTheme(conf);
    Build("-j 1 --no-cache");
    std::string html = Main("rendered");
    EXPECT_CONTAINS(html, "<pre><code class=\"language-cpp\">#include &lt;iostream&gt;\n");
    EXPECT_CONTAINS(html, "<span class=\"math inline\">$a_1 * b_2 * c$</span>");
    EXPECT_CONTAINS(html, "it costs <span>$</span>5 and <span>$</span>10.");
    EXPECT_EQ(html.find("katex"), std::string::npos) << conf;
    EXPECT_EQ(html.find("hljs"), std::string::npos) << conf;
    EXPECT_EQ(Read("public/articles/rendered.html").find("<link"), std::string::npos) << conf;
  }
}

TEST_F(RenderedBuildTest, TheCacheNeverMixesTheTwoRenderings) {
  UseTheme(kAsks);
  Build("-j 2");
  const std::string rendered = Main("rendered");
  ASSERT_TRUE(rendered == Fixture("rendered.html"));
  UseTheme("{}");
  Build("-j 2");
  const std::string for_browser = Main("rendered");
  Build("-j 1 --no-cache");
  EXPECT_TRUE(for_browser == Main("rendered"))
      << "the cache gave HTML rendered for the other theme";
  UseTheme(kAsks);
  Build("-j 2");
  EXPECT_TRUE(Main("rendered") == rendered);
}

TEST_F(RenderedBuildTest, TheBundledThemeNeedsNoScriptForReading) {
  fs::copy(TARN_BUILD_DIR "/themes/lake", ws_ + "/themes/lake", fs::copy_options::recursive);
  SelectTheme("lake");
  Build("-j 1");
  const std::string katex =
      "<link rel=\"stylesheet\" href=\"../assets/vendor/katex/katex.min.css\">";
  EXPECT_CONTAINS(Read("public/articles/rendered.html"), katex);
  EXPECT_CONTAINS(Read("public/articles/rendered.html"), "<span class=\"hljs-keyword\">");
  int pages = 0;
  for (const auto& entry : fs::recursive_directory_iterator(ws_ + "/public")) {
    if (entry.path().extension() != ".html") continue;
    ++pages;
    std::string page = Read(fs::relative(entry.path(), ws_).string());
    const bool search = entry.path().filename() == "search.html";
    std::size_t scripts = 0;
    for (std::size_t at = page.find("<script"); at != std::string::npos;
         at = page.find("<script", at + 1))
      ++scripts;
    EXPECT_EQ(scripts, 1u) << entry.path();
    EXPECT_CONTAINS(page, "assets/js/lake.js\" defer></script>");
    if (search) {  // loaded by lake.js when a search starts
      EXPECT_CONTAINS(page, "data-scripts=\"./assets/vendor/minisearch.js ./search.js\"");
    }
    if (entry.path().filename() != "rendered.html") {
      EXPECT_EQ(page.find("katex"), std::string::npos) << entry.path();
    }
  }
  EXPECT_GT(pages, 5);
}

}  // namespace
}  // namespace tarn
