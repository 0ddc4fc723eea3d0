// tarn build skips expanding the pages whose reads give what they gave last
// time (the render memo in .tarn/): the real binary on a fixture workspace
// must write the bytes a build without the memo writes, rewrite only the
// pages that changed, write again whatever public/ no longer holds as it
// was written, and report a template's warnings on every build.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>

#include "data/text_file.h"
#include "support/expect_text.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr char kArticles[] = "public/articles/";

class RenderMemoBuildTest : public WorkspaceTest {
 protected:
  void SetUp() override {
    WorkspaceTest::SetUp();
    if (HasFatalFailure()) return;
    for (const char* name : {"one", "two", "three"})
      Put(std::string("_posts/") + name + ".md",
          std::string("---\ntitle: Title ") + name + "\n---\n\nThe text of " + name + ".\n");
  }

  void Build(const std::string& options = "") {
    TarnOutcome built = RunTarn(ws_, "build " + options);
    EXPECT_EQ(built.status, 0) << built.err;
    err_ = built.err;
  }

  fs::file_time_type Time(const std::string& relative) {
    return fs::last_write_time(ws_ + "/" + relative);
  }

  // public/ as path -> bytes, the build's own time left out.
  std::map<std::string, std::string> Public() {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(ws_ + "/public")) {
      if (!entry.is_regular_file()) continue;
      std::string text;
      EXPECT_TRUE(ReadTextFile(entry.path().string(), &text));
      text = std::regex_replace(text, std::regex("\"create_time\":\"[^\"]*\""), "");
      text = std::regex_replace(text, std::regex("<lastBuildDate>[^<]*</lastBuildDate>"), "");
      tree[fs::relative(entry.path(), ws_ + "/public").string()] = text;
    }
    return tree;
  }

  std::string err_;
};

// One post's new title: its article is written anew, the others are left
// as they were, and public/ is what a build without the memo makes.
TEST_F(RenderMemoBuildTest, AnEditRewritesThePagesItChanges) {
  Build();
  ASSERT_TRUE(fs::exists(ws_ + "/.tarn/render-memo.bin"));
  const std::string one = std::string(kArticles) + "one.html";
  const std::string two = std::string(kArticles) + "two.html";
  const fs::file_time_type one_time = Time(one), two_time = Time(two);
  Put("_posts/one.md", "---\ntitle: Title won\n---\n\nThe text of one.\n");
  Build();
  EXPECT_CONTAINS(Read(one), "Title won");
  EXPECT_CONTAINS(Read("public/index.html"), "Title won");
  EXPECT_NE(Time(one), one_time);
  EXPECT_EQ(Time(two), two_time);
  auto with_memo = Public();
  Build("--no-cache");
  EXPECT_EQ(Public(), with_memo);
}

// With a theme of tag pages and a paginated index: the pages that show
// the title are written anew, a tag page that does not is left alone.
TEST_F(RenderMemoBuildTest, AnEditRewritesTheListsThatShowIt) {
  std::string config = Read("config/base.json");
  Put("config/base.json", std::regex_replace(config, std::regex("\"plain\""), "\"nav\""));
  Put("_posts/one.md", "---\ntitle: Title one\ntags: [odd]\n---\n\nOne.\n");
  Put("_posts/two.md", "---\ntitle: Title two\ntags: [even]\n---\n\nTwo.\n");
  Build();
  const fs::file_time_type even_time = Time("public/tags/even/index.html");
  Put("_posts/one.md", "---\ntitle: Title won\ntags: [odd]\n---\n\nOne.\n");
  Build();
  EXPECT_CONTAINS(Read("public/tags/odd/index.html"), "Title won");
  EXPECT_EQ(Time("public/tags/even/index.html"), even_time);
  auto with_memo = Public();
  Build("--no-cache");
  EXPECT_EQ(Public(), with_memo);
}

// After a build, each change below in turn, then a build: whether the
// article holds what the build renders. A page altered by hand while its
// size and time stay is what the memo cannot see: --no-cache writes it.
TEST_F(RenderMemoBuildTest, WritesAgainWhatPublicNoLongerHolds) {
  const std::string page = std::string(kArticles) + "two.html";
  struct Case {
    const char* what;
    std::function<void()> change;
    const char* options;
    bool rendered;
  };
  auto nothing = []() {};
  auto same_stamp = [this, &page]() {
    const fs::file_time_type time = Time(page);
    std::string text = Read(page);
    text.replace(text.find("Title"), 5, "TITLE");
    Put(page, text);
    fs::last_write_time(ws_ + "/" + page, time);
  };
  const Case cases[] = {
      {"nothing", nothing, "", true},
      {"edited, size and time kept", same_stamp, "", false},
      {"nothing, --no-cache", nothing, "--no-cache", true},
      {"edited", [this, &page]() { Put(page, "mine"); }, "", true},
      {"removed", [this, &page]() { fs::remove(ws_ + "/" + page); }, "", true},
      {"the theme's post.mtpl edited",
       [this]() {
         std::string text = Read("themes/plain/post.mtpl");
         Put("themes/plain/post.mtpl",
             std::regex_replace(text, std::regex("<article>"), "<article class=\"x\">"));
       },
       "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build();
    c.change();
    Build(c.options);
    const std::string text = Read(page);
    EXPECT_EQ(text.find("TITLE") == std::string::npos && text != "mine", c.rendered);
  }
  EXPECT_CONTAINS(Read(std::string(kArticles) + "one.html"), "<article class=\"x\">");
  EXPECT_CONTAINS(Read(page), "<article class=\"x\">");
}

// A warning of the template engine comes with every build, memo or not.
TEST_F(RenderMemoBuildTest, EveryBuildReportsATemplateWarning) {
  std::string text = Read("themes/plain/post.mtpl");
  Put("themes/plain/post.mtpl",
      std::regex_replace(text, std::regex("</article>"),
                         "{-volist name=\"nowhere\" key=\"n\"}{$n.x}{-volist/}</article>"));
  for (int build = 1; build <= 2; ++build) {
    SCOPED_TRACE(build);
    Build();
    EXPECT_CONTAINS(err_, "loop over \"nowhere\", which is missing");
  }
}

}  // namespace
}  // namespace tarn
