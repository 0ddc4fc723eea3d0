#include "preview/preview_site_build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "support/fake_script_host.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

// A staging workspace whose pages show a post's title and content; the
// workspace the build reports for is a different path, as in a preview.
class PreviewSiteBuildTest : public ::testing::Test {
 protected:
  PreviewSiteBuildTest() {
    dir_.Write("stage/config/base.json", R"({"system": {"title": "B", "theme": "t"}})");
    dir_.Write("stage/themes/t/index.mtpl", "index");
    dir_.Write("stage/themes/t/timeline.mtpl", "timeline");
    dir_.Write("stage/themes/t/post.mtpl", "[{$post.title}|{$post.content}]");
    dir_.Write("stage/_posts/a.md", "alpha");
    dir_.Write("stage/_posts/d.md", "---\ndraft: true\n---\ndelta");
    stage_ = dir_.str() + "/stage";
    workspace_ = dir_.str() + "/workspace";
  }

  PreviewSiteBuild Make(bool drafts) {
    return PreviewSiteBuild(
        workspace_, drafts,
        [this](const std::string& page, const DiagnosticSink&) -> std::unique_ptr<ScriptHost> {
          pages_.push_back(page);
          if (fail_load_) return nullptr;
          auto host = std::make_unique<FakeScriptHost>();
          host->functions["markToHtml"] = [this](const auto& args, std::string* result,
                                                 std::string* error) {
            converted_.push_back(args.at(0));
            if (args.at(0) == "broken") {
              *error = "cannot convert";
              return false;
            }
            *result = "<p>" + args.at(0) + "</p>";
            return true;
          };
          return host;
        });
  }
  bool Run(PreviewSiteBuild& build, const std::vector<std::string>& changed) {
    messages_.clear();
    return build(stage_, changed, [this](const std::string& m) { messages_ += m + "\n"; });
  }

  TempDir dir_{"preview-build"};
  std::string stage_, workspace_;
  std::vector<std::string> pages_;      // pages the host was loaded from
  std::vector<std::string> converted_;  // texts the page converted
  std::string messages_;
  bool fail_load_ = false;
};

TEST_F(PreviewSiteBuildTest, LoadsThePageOnceAndAgainOnlyWhenTemplatesChange) {
  PreviewSiteBuild build = Make(false);
  ASSERT_TRUE(Run(build, {})) << messages_;
  EXPECT_EQ(dir_.Read("stage/public/articles/a.html"), "[a|<p>alpha</p>]");
  ASSERT_EQ(pages_.size(), 1u);
  EXPECT_EQ(pages_[0], workspace_ + "/template/index copy.html");

  // A post changed: the same page, and only the changed text is converted.
  dir_.Write("stage/_posts/b.md", "beta");
  ASSERT_TRUE(Run(build, {"_posts/b.md"})) << messages_;
  EXPECT_EQ(pages_.size(), 1u);
  EXPECT_EQ(converted_, (std::vector<std::string>{"alpha", "beta"}));

  // A template changed: the page is loaded again and converts afresh.
  ASSERT_TRUE(Run(build, {"template/index copy.html"})) << messages_;
  EXPECT_EQ(pages_.size(), 2u);
  EXPECT_EQ(std::count(converted_.begin(), converted_.end(), "alpha"), 2);
}

TEST_F(PreviewSiteBuildTest, DraftsAreBuiltOnlyWhenAsked) {
  PreviewSiteBuild without = Make(false);
  ASSERT_TRUE(Run(without, {})) << messages_;
  EXPECT_EQ(dir_.Read("stage/public/articles/d.html"), "");

  PreviewSiteBuild with = Make(true);
  ASSERT_TRUE(Run(with, {})) << messages_;
  EXPECT_EQ(dir_.Read("stage/public/articles/d.html"), "[d|<p>delta</p>]");
}

TEST_F(PreviewSiteBuildTest, FailuresAreReportedWithTheWorkspacesPaths) {
  dir_.Write("stage/_posts/a.md", "broken");
  PreviewSiteBuild build = Make(false);
  EXPECT_FALSE(Run(build, {}));
  EXPECT_NE(messages_.find(workspace_ + "/_posts/a.md"), std::string::npos) << messages_;
  EXPECT_EQ(messages_.find(stage_ + "/"), std::string::npos) << messages_;

  // Without a page the build fails, and the next one tries to load it again.
  fail_load_ = true;
  PreviewSiteBuild headless = Make(false);
  EXPECT_FALSE(Run(headless, {}));
  EXPECT_FALSE(Run(headless, {"_posts/a.md"}));
  EXPECT_EQ(pages_.size(), 3u);
}

TEST(PreviewSiteBuildNames, EveryStagePathNamesTheWorkspace) {
  EXPECT_EQ(PreviewSiteBuild::NameWorkspaceFiles("/s/x: bad; /s/y/z: worse", "/s", "/w"),
            "/w/x: bad; /w/y/z: worse");
  // Only whole path prefixes; a workspace path that contains the stage's is
  // not rewritten again.
  EXPECT_EQ(PreviewSiteBuild::NameWorkspaceFiles("/stage2/x /s", "/s", "/w"), "/stage2/x /s");
  EXPECT_EQ(PreviewSiteBuild::NameWorkspaceFiles("/s/a", "/s", "/s/s"), "/s/s/a");
}

}  // namespace
}  // namespace tarn
