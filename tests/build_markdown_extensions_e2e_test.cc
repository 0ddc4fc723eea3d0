// tarn build with the converter page it ships: Markdown extensions bloggers
// bring from other generators (footnotes, task lists, definition lists,
// marks, sub- and superscripts, abbreviations, alerts, heading attributes and
// maths) reach the article pages, in one script host and in worker
// processes alike.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/expect_text.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class MarkdownExtensionsBuildTest : public WorkspaceTest {
 protected:
  void SetUp() override {
    WorkspaceTest::SetUp();
    if (HasFatalFailure()) return;
    fs::path shipped = fs::path(TARN_BUILD_DIR) / "template";
    if (!fs::exists(shipped / "vendor" / "markdown-it-footnote.min.js"))
      GTEST_SKIP() << "the build has no template/vendor (web/node_modules missing)";
    fs::remove_all(ws_ + "/template");
    fs::copy(shipped, ws_ + "/template", fs::copy_options::recursive);
  }

  // Builds afresh with these options and returns the article page of name.
  std::string BuildArticle(const std::string& options, const std::string& name) {
    fs::remove_all(ws_ + "/public");
    TarnOutcome outcome = RunTarn(ws_, "build " + options, "TARN_TEST_BYTES_PER_WORKER=0");
    EXPECT_EQ(outcome.status, 0) << options << "\n" << outcome.err;
    EXPECT_EQ(outcome.err, "") << options;
    return Read("public/articles/" + name + ".html");
  }
};

TEST_F(MarkdownExtensionsBuildTest, EveryExtensionReachesTheArticleFromEveryHost) {
  Put("_posts/every.md",
      "---\ntitle: Every extension\ndate: 2020-01-02 03:04:05\n---\n"
      "## Start {#start .wide}\n\n"
      "Said[^n] with ==care==, H~2~O and x^2^ in HTML.\n\n"
      "[^n]: A note.\n\n*[HTML]: Hyper Text\n\n"
      "- [x] done\n- [ ] todo\n\n"
      "Term\n: Meaning\n\n"
      "> [!NOTE]\n> Read this.\n\n"
      "Costs $200 a month, about $20-$30; $a_1 * b_2$ and \\(c_d\\).\n\n"
      "$$\n\\begin{aligned}\nx_1 &= 1 \\\\\ny_1 &< 2\n\\end{aligned}\n$$\n\n"
      "```math\n\\sum_i x_i\n```\n");
  // Enough posts for the build to hand some to worker processes.
  for (int i = 0; i < 12; ++i)
    Put("_posts/filler " + std::to_string(i) + ".md", "Filler *" + std::to_string(i) + "*.\n");

  std::string one_host = BuildArticle("-j 1 --no-cache", "every");
  const char* const expected[] = {
      "<h2 id=\"start\" class=\"wide\">Start</h2>",
      "<sup class=\"footnote-ref\"><a href=\"#fn1\" id=\"fnref1\">[1]</a></sup>",
      "<li id=\"fn1\" class=\"footnote-item\"><p>A note.",
      "<mark>care</mark>, H<sub>2</sub>O and x<sup>2</sup> in <abbr title=\"Hyper "
      "Text\">HTML</abbr>",
      "<input class=\"task-list-item-checkbox\" checked=\"\" disabled=\"\" type=\"checkbox\"> done",
      "<dt>Term</dt>\n<dd>Meaning</dd>",
      "<div class=\"markdown-alert markdown-alert-note\">\n<p "
      "class=\"markdown-alert-title\">Note</p>",
      "Costs <span>$</span>200 a month, about <span>$</span>20-<span>$</span>30; "
      "<span class=\"math inline\">$a_1 * b_2$</span> and <span class=\"math inline\">$c_d$</span>",
      "<div class=\"math display\">$$\n\\begin{aligned}\nx_1 &amp;= 1 \\\\\ny_1 &amp;&lt; 2\n"
      "\\end{aligned}\n$$</div>",
      "<div class=\"math display\">$$\\sum_i x_i$$</div>",
  };
  for (const char* piece : expected) EXPECT_CONTAINS(one_host, piece);
  EXPECT_EQ(BuildArticle("-j 2 --no-cache", "every"), one_host) << "worker processes differ";
}

}  // namespace
}  // namespace tarn
