// tarn build against what a careless or hostile workspace holds: pages that
// never finish converting, links and special files inside the workspace,
// names and settings that break naive code. The real binary every time.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "data/text_file.h"
#include "deploy/command_runner.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class BuildHardeningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarn-harden-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    tmp_ = pattern;
    ws_ = tmp_ + "/ws";
    fs::copy(fs::path(TARN_SOURCE_DIR) / "tests/fixtures/build/blog", ws_,
             fs::copy_options::recursive);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(tmp_, ec);
  }

  // tarn build with its output and error merged. A build that outlives
  // `limit` seconds is killed and reported as status 124.
  CommandResult Build(std::vector<std::string> options = {}, int limit = 240) {
    std::vector<std::string> argv = {"timeout", "-s", "KILL", std::to_string(limit),
                                     TARN_BINARY,  "-w", ws_,  "build"};
    argv.insert(argv.end(), options.begin(), options.end());
    ProgramOptions run;
    run.env = env_;
    return CommandRunner::RunProgram(argv, run);
  }
  std::string Read(const std::string& relative) {
    std::string text;
    EXPECT_TRUE(ReadTextFile(ws_ + "/" + relative, &text)) << relative;
    return text;
  }
  void Put(const std::string& relative, const std::string& text) {
    fs::create_directories(fs::path(ws_ + "/" + relative).parent_path());
    ASSERT_TRUE(WriteTextFile(ws_ + "/" + relative, text));
  }
  bool Exists(const std::string& relative) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(ws_ + "/" + relative, ec));
  }

  std::string tmp_;
  std::string ws_;
  std::vector<std::pair<std::string, std::string>> env_;
};

#define EXPECT_CONTAINS(haystack, needle) \
  EXPECT_NE((haystack).find(needle), std::string::npos) << "missing: " << (needle)

TEST_F(BuildHardeningTest, PostsThatNeverFinishConvertingEndTheBuildNamingThem) {
  Put("template/index copy.html",
      "<script>function markToHtml(s) {\n"
      "  if (s.indexOf('SPIN-FOREVER') >= 0) for (;;) {}\n"
      "  return '<p>' + s + '</p>';\n"
      "}</script>");
  for (int i = 1; i <= 6; ++i) Put("_posts/spin" + std::to_string(i) + ".md", "SPIN-FOREVER");
  env_.push_back({"TARN_SCRIPT_TIMEOUT", "0.5"});

  // One host converting one post after another, then as many as the
  // machine has cores, then several more hosts than posts.
  for (std::vector<std::string> options :
       {std::vector<std::string>{"-j", "1", "--no-cache"}, std::vector<std::string>{"--no-cache"},
        std::vector<std::string>{"-j", "8"}}) {
    CommandResult built = Build(options);
    ASSERT_NE(built.exit_status, 124) << "the build hung with " << options[0];
    EXPECT_EQ(built.exit_status, 1) << built.output;
    for (int i = 1; i <= 6; ++i) {
      EXPECT_CONTAINS(built.output, "_posts/spin" + std::to_string(i) +
                                        ".md: markToHtml failed: ");
    }
    EXPECT_CONTAINS(built.output, "did not finish within 0.5 seconds");
    EXPECT_CONTAINS(built.output, "渲染出错");
    EXPECT_CONTAINS(Read("public/articles/Hello.html"), "First post.");
    EXPECT_FALSE(Exists("public/articles/spin1.html"));
  }
}

}  // namespace
}  // namespace tarn
