// tarn check end to end: the real tarn on a fixture blog with one of each
// mistake, on the bundled demo (which must check clean), and its JSON
// report read back.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "data/json_document.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

using Kinds = std::multiset<std::string>;

class CheckTest : public WorkspaceTest {
 protected:
  CheckTest() : WorkspaceTest("tests/fixtures/check/site") {}

  // Each page's "severity kind" pairs from tarn check --json.
  // *sources gets a "PATH <- SOURCE" line per page, *messages every message.
  std::map<std::string, Kinds> Report(const TarnOutcome& outcome, std::string* sources = nullptr,
                                      std::string* messages = nullptr) {
    JsonDocument report;
    EXPECT_TRUE(report.Parse(outcome.out)) << outcome.out;
    std::map<std::string, Kinds> pages;
    for (int i = 0; i < report.GetCount("pages"); ++i) {
      JsonDocument page = report.GetItem("pages", i);
      Kinds& kinds = pages[page.GetText("path")];
      if (sources) *sources += page.GetText("path") + " <- " + page.GetText("source") + "\n";
      for (int j = 0; j < page.GetCount("problems"); ++j) {
        JsonDocument problem = page.GetItem("problems", j);
        kinds.insert(problem.GetText("severity") + " " + problem.GetText("kind"));
        EXPECT_FALSE(problem.GetText("message").empty());
        if (messages) *messages += problem.GetText("message") + "\n";
      }
    }
    return pages;
  }
};

TEST_F(CheckTest, FindsOneOfEachMistakeGroupedByPage) {
  TarnOutcome outcome = RunTarn(ws_, "check --json");
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  std::string sources, messages;
  std::map<std::string, Kinds> pages = Report(outcome, &sources, &messages);
  std::map<std::string, Kinds> expected = {
      {"public/articles/broken.html",
       {"error broken-link", "error broken-fragment", "error missing-image"}},
      {"public/articles/noalt.html", {"warning missing-alt", "warning heading-skip"}},
      {"public/articles/heavy.html", {"warning page-weight"}},
      {"public/articles/badfront.html", {"warning description"}},
      {"_posts/badfront.md", {"error front-matter"}},
      {"_posts/same-b.md", {"warning duplicate-title", "warning duplicate-slug"}},
      {"_posts/old.md", {"warning odd-date"}},
      // A draft too: a year typed wrong may be what keeps it out of the site.
      {"_posts/future.md", {"warning odd-date"}},
      {"public/about/index.html", {"error broken-link"}},
  };
  EXPECT_EQ(pages, expected) << outcome.out;
  // The clean post's links (relative, "../", the site's full address with a
  // fragment, mail, another site) all resolve: it is not in the report.
  for (const char* line : {"public/articles/broken.html <- _posts/broken.md\n",
                           "public/about/index.html <- _pages/about.md\n"})
    EXPECT_NE(sources.find(line), std::string::npos) << sources;
  // The page's weight names its heaviest files: the image, then the font its
  // stylesheet loads (the first of the font's sources, not the fallback).
  EXPECT_NE(messages.find("heaviest: images/big.png (30 KB), assets/font.woff2 (4 KB), "
                          "assets/site.css (1 KB)\n"),
            std::string::npos)
      << messages;
  EXPECT_TRUE(Exists("public/index.html"));  // public/ was missing: it built first
}

TEST_F(CheckTest, TextGroupsByPageAndWarningsAloneExitZero) {
  TarnOutcome outcome = RunTarn(ws_, "check");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.out.find("public/articles/broken.html (from _posts/broken.md):\n  error: "),
            std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("tarn check: 5 error(s), 8 warning(s)\n"), std::string::npos)
      << outcome.out;

  // Mended errors leave warnings: exit 0. The check sees the edit, since
  // public/ is older than the post now, and builds again.
  Put("_posts/broken.md",
      "---\ntitle: Broken\ndescription: mended\n---\n<a href=\"clean.html#here\">y</a>\n");
  Put("_posts/badfront.md", "---\ntitle: Mended\ndescription: mended\n---\nbody\n");
  Put("_pages/about.md", "---\ntitle: About\ndescription: mended\n---\nabout\n");
  outcome = RunTarn(ws_, "check --json");
  EXPECT_EQ(outcome.status, 0) << outcome.out;
  std::map<std::string, Kinds> pages = Report(outcome);
  EXPECT_EQ(pages.count("public/articles/broken.html"), 0u) << outcome.out;
  EXPECT_EQ(pages.count("_posts/badfront.md"), 0u) << outcome.out;
}

TEST_F(CheckTest, ThemeBudgetAndItsDefault) {
  // Without "check" in _conf.json the budget is 1000 KB: the 30 KB page passes.
  Put("themes/check/_conf.json", "{\"name\": \"check\", \"pages\": []}\n");
  std::map<std::string, Kinds> pages = Report(RunTarn(ws_, "check --json"));
  EXPECT_EQ(pages.count("public/articles/heavy.html"), 0u);
}

class DemoCheckTest : public WorkspaceTest {
 protected:
  DemoCheckTest() : WorkspaceTest("workspace") {}
};

TEST_F(DemoCheckTest, BundledDemoChecksClean) {
  if (!UseShippedTemplate()) GTEST_SKIP() << "no shipped template (web/node_modules missing)";
  // The theme's libraries, which the build copies from web/node_modules.
  std::error_code ec;
  std::filesystem::copy(TARN_BUILD_DIR "/themes/lake/assets/vendor",
                        ws_ + "/themes/lake/assets/vendor",
                        std::filesystem::copy_options::recursive, ec);
  ASSERT_FALSE(ec) << ec.message();
  TarnOutcome outcome = RunTarn(ws_, "check");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "tarn check: 0 error(s), 0 warning(s)\n");
}

}  // namespace
}  // namespace tarn
