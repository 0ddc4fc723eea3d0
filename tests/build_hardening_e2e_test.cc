// tarn build against what a careless or hostile workspace holds: pages that
// never finish converting, links and special files inside the workspace,
// names and settings that break naive code. The real binary every time.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "data/text_file.h"
#include "deploy/command_runner.h"
#include "support/expect_text.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class BuildHardeningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ws_ = tmp_.str() + "/ws";
    fs::copy(fs::path(TARN_SOURCE_DIR) / "tests/fixtures/build/blog", ws_,
             fs::copy_options::recursive);
  }

  // tarn build with its output and error merged. A build that outlives
  // `limit` seconds is killed and reported as status 124.
  CommandResult Build(std::vector<std::string> options = {}, int limit = 240) {
    std::vector<std::string> argv = {"timeout",   "-k", "10", std::to_string(limit),
                                     TARN_BINARY, "-w", ws_,  "build"};
    argv.insert(argv.end(), options.begin(), options.end());
    ProgramOptions run;
    run.env = env_;
    CommandResult result = CommandRunner::RunProgram(argv, run);
    if (result.exit_status == 137) result.exit_status = 124;  // killed after all
    return result;
  }
  std::string Read(const std::string& relative) { return tmp_.Read("ws/" + relative); }
  void Put(const std::string& relative, const std::string& text) {
    tmp_.Write("ws/" + relative, text);
  }
  bool Exists(const std::string& relative) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(ws_ + "/" + relative, ec));
  }
  // The workspace as the fixture has it, nothing built.
  void Reset() {
    fs::remove_all(ws_);
    SetUp();
  }
  // The theme that writes tag pages.
  void UseNav() {
    std::string config = Read("config/base.json");
    config.replace(config.find("\"plain\""), 7, "\"nav\"");
    Put("config/base.json", config);
  }

  TempDir tmp_{"harden"};
  std::string ws_;
  std::vector<std::pair<std::string, std::string>> env_;
};

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

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
      EXPECT_CONTAINS(built.output, "_posts/spin" + std::to_string(i) + ".md: markToHtml failed: ");
    }
    EXPECT_CONTAINS(built.output, "did not finish within 0.5 seconds");
    EXPECT_CONTAINS(built.output, "渲染出错");
    EXPECT_CONTAINS(Read("public/articles/Hello.html"), "First post.");
    EXPECT_FALSE(Exists("public/articles/spin1.html"));
  }
}

TEST_F(BuildHardeningTest, CredentialsInTheSettingsStayOutOfTheGeneratedSite) {
  const std::string token = "ghp_SECRET0123456789";
  std::string config = Read("config/base.json");
  std::size_t at = config.find("\"deployUrl\": \"\"");
  ASSERT_NE(at, std::string::npos);
  config.replace(at, 15,
                 "\"deployUrl\": \"https://ann:" + token + "@git.example.org/ann/blog.git\", " +
                     "\"sourceUrl\": \"https://ann:" + token + "@git.example.org/ann/src.git\"");
  Put("config/base.json", config);
  // A theme that prints them, knowingly or not.
  Put("themes/plain/pages/about.mtpl", "<p>{$system.deployUrl} {$system.sourceUrl}</p>");

  CommandResult built = Build();
  ASSERT_EQ(built.exit_status, 0) << built.output;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(ws_ + "/public", ec)) {
    if (!entry.is_regular_file()) continue;
    std::string text;
    ASSERT_TRUE(ReadTextFile(entry.path().string(), &text));
    EXPECT_EQ(text.find(token), std::string::npos) << entry.path();
  }
  // The rest of the settings are published as before.
  std::string db = Read("public/database.json");
  EXPECT_CONTAINS(db, "\"author\":\"Ann Example\"");
  EXPECT_CONTAINS(db, "\"menu\":[");
}

TEST_F(BuildHardeningTest, LinksInsidePublicAreNeitherWrittenThroughNorCleaned) {
  // Someone else's folder and file, reachable through links in public/.
  fs::create_directories(tmp_.str() + "/elsewhere/css");
  Put("../elsewhere/keep.html", "not a page of this blog");
  Put("../elsewhere/file.txt", "theirs");
  fs::create_directories(ws_ + "/public/assets");
  fs::create_directory_symlink(tmp_.str() + "/elsewhere", ws_ + "/public/articles");
  fs::create_directory_symlink(tmp_.str() + "/elsewhere/css", ws_ + "/public/assets/css");
  fs::create_symlink(tmp_.str() + "/elsewhere/file.txt", ws_ + "/public/about.html");

  CommandResult built = Build();
  EXPECT_EQ(built.exit_status, 1) << built.output;
  EXPECT_CONTAINS(built.output, "public/articles: is a symbolic link");
  EXPECT_CONTAINS(built.output, "public/assets/css: is a symbolic link");
  EXPECT_CONTAINS(built.output, "public/about.html: is a symbolic link");
  EXPECT_CONTAINS(built.output, "渲染出错");
  std::vector<std::string> outside;
  for (const auto& entry : fs::recursive_directory_iterator(tmp_.str() + "/elsewhere"))
    outside.push_back(fs::relative(entry.path(), tmp_.str() + "/elsewhere").string());
  std::sort(outside.begin(), outside.end());
  EXPECT_EQ(outside, (std::vector<std::string>{"css", "file.txt", "keep.html"}));
  std::string text;
  ASSERT_TRUE(ReadTextFile(tmp_.str() + "/elsewhere/file.txt", &text));
  EXPECT_EQ(text, "theirs");
  EXPECT_TRUE(fs::is_symlink(ws_ + "/public/about.html"));
  // Everything else is still written.
  EXPECT_CONTAINS(Read("public/index.html"), "My Blog");
  EXPECT_TRUE(Exists("public/blog/x/about.html"));
}

TEST_F(BuildHardeningTest, APublicFolderThatIsALinkIsRefusedWhole) {
  // Someone else's folder, with a page that looks stale to a build.
  Put("../elsewhere/articles/old.html", "theirs");
  fs::create_directory_symlink(tmp_.str() + "/elsewhere", ws_ + "/public");

  CommandResult built = Build();
  EXPECT_EQ(built.exit_status, 1) << built.output;
  EXPECT_CONTAINS(built.output, ws_ + "/public: is a symbolic link; the build writes nothing");
  EXPECT_CONTAINS(built.output, "渲染出错");
  std::vector<std::string> outside;
  for (const auto& entry : fs::recursive_directory_iterator(tmp_.str() + "/elsewhere"))
    outside.push_back(fs::relative(entry.path(), tmp_.str() + "/elsewhere").string());
  EXPECT_EQ(outside, (std::vector<std::string>{"articles", "articles/old.html"}));
  EXPECT_EQ(tmp_.Read("elsewhere/articles/old.html"), "theirs");
}

// A hostile name: put puts it in the workspace, with what an earlier build
// left in public/ because of it; fix fixes the name.
struct HostileName {
  const char* what;
  std::function<void()> put;
  std::string report;  // said once, or "" for nothing said
  std::string page;    // public/ holds it afterwards ...
  std::string text;    // ... with this in it
  std::function<void()> fix;
  std::string fixed_page;  // and once the name is fixed
  std::string fixed_text;
};

TEST_F(BuildHardeningTest, HostileNamesAreReportedOnceAndBreakNoLaterBuild) {
  const std::string slug(300, 's');
  const HostileName cases[] = {
      {"a tag named index.html",
       [&] {
         UseNav();
         Put("_posts/t.md", "---\ntags: [index.html]\n---\nTagged.\n");
         Put("public/tags/index.html/index.html", "an earlier build's page");
       },
       "", "public/tags/index%2Ehtml/index.html", "index.html (1)",
       [&] { Put("_posts/t.md", "---\ntags: [fine]\n---\nTagged.\n"); },
       "public/tags/fine/index.html", "fine (1)"},
      {"an alias that is a static file",
       [&] {
         Put("static/robots.txt", "User-agent: *\n");
         Put("_posts/a.md", "---\naliases: [/robots.txt]\n---\nA.\n");
         Put("public/robots.txt/index.html", "an earlier build's alias page");
       },
       "alias \"/robots.txt\" would turn public/robots.txt, a file of static/, into a folder",
       "public/robots.txt", "User-agent: *", [&] { Put("_posts/a.md", "A.\n"); },
       "public/robots.txt", "User-agent: *"},
      {"a static file made a folder",
       [&] {
         Put("public/feed", "an earlier build's copy");
         Put("static/feed/new.xml", "<new/>");
       },
       "", "public/feed/new.xml", "<new/>",
       [&] {
         fs::remove_all(ws_ + "/static/feed");
         Put("static/feed", "a file again");
       },
       "public/feed", "a file again"},
      {"a slug of 300 bytes", [&] { Put("_posts/long.md", "---\nslug: " + slug + "\n---\nL.\n"); },
       "", "public/index.html", "articles/" + slug.substr(0, 160) + "~",
       [&] { Put("_posts/long.md", "L.\n"); }, "public/articles/long.html", "<p>L.</p>"},
  };
  for (const HostileName& c : cases) {
    Reset();
    c.put();
    CommandResult built = Build();
    EXPECT_EQ(built.exit_status, 0) << c.what << ": " << built.output;
    if (!c.report.empty()) {
      EXPECT_EQ(Occurrences(built.output, c.report), 1) << c.what;
    }
    EXPECT_CONTAINS(Read(c.page), c.text) << c.what;
    // The rest of the site is there.
    EXPECT_CONTAINS(Read("public/articles/Hello.html"), "First post.") << c.what;
    c.fix();
    built = Build();
    EXPECT_EQ(built.exit_status, 0) << c.what << " fixed: " << built.output;
    if (!c.report.empty()) {
      EXPECT_EQ(Occurrences(built.output, c.report), 0) << c.what;
    }
    EXPECT_CONTAINS(Read(c.fixed_page), c.fixed_text) << c.what;
  }
}

TEST_F(BuildHardeningTest, StaticFilesAreCopiedWithTheirTimeAndLeftAloneWhileUnchanged) {
  auto stat_of = [this](const std::string& relative) {
    struct stat st {};
    ::stat((ws_ + "/" + relative).c_str(), &st);
    return st;
  };
  std::string big(3 << 20, 'x');
  // New; unchanged (the copy stays the same file); changed at the same size.
  for (int round = 0; round < 3; ++round) {
    if (round == 2) big[12345] = 'y';
    if (round != 1) Put("static/big.bin", big);
    ino_t before = stat_of("public/big.bin").st_ino;
    ASSERT_EQ(Build().exit_status, 0);
    struct stat copy = stat_of("public/big.bin"), source = stat_of("static/big.bin");
    EXPECT_EQ(Read("public/big.bin"), big) << round;
    EXPECT_EQ(copy.st_mtim.tv_sec, source.st_mtim.tv_sec) << round;
    EXPECT_EQ(copy.st_mtim.tv_nsec, source.st_mtim.tv_nsec) << round;
    if (round == 1) {
      EXPECT_EQ(copy.st_ino, before);
    }
  }
}

TEST_F(BuildHardeningTest, LongTitlesBuildAgainAndAgain) {
  // 82 three-byte characters and ".md": 249 bytes; its page's name is 251.
  std::string title;
  for (int i = 0; i < 82; ++i) title += "长";
  // Each build changes the page, so the second one replaces it.
  for (int round = 1; round <= 2; ++round) {
    std::string text = "Edition " + std::to_string(round);
    Put("_posts/" + title + ".md", "# Long\n\n" + text);
    CommandResult built = Build();
    EXPECT_EQ(built.exit_status, 0) << "build " << round << ": " << built.output;
    EXPECT_CONTAINS(Read("public/articles/" + title + ".html"), "<p>" + text + "</p>");
  }
}

TEST_F(BuildHardeningTest, SettingsThatDoNotLoadWriteNothing) {
  ASSERT_EQ(Build().exit_status, 0);
  std::string published = Read("public/database.json");
  Put("_posts/New.md", "# New");
  Put("config/base.json", "{\"system\": {\"theme\": \"plain\",");

  CommandResult built = Build();
  EXPECT_EQ(built.exit_status, 1);
  EXPECT_CONTAINS(built.output, "config/base.json:1:");
  EXPECT_CONTAINS(built.output, "渲染出错");
  EXPECT_EQ(Read("public/database.json"), published);
  EXPECT_FALSE(Exists("public/articles/New.html"));
}

TEST_F(BuildHardeningTest, PostNamesThatAreNotUtf8AreReportedAndLeftOut) {
  Put("_posts/caf\xE9.md", "# Caf\xC3\xA9");
  CommandResult built = Build();
  EXPECT_EQ(built.exit_status, 1);
  EXPECT_CONTAINS(built.output, "_posts/caf\\xE9.md: the file name is not valid UTF-8");
  EXPECT_FALSE(Exists("public/articles/caf\xE9.html"));
  std::string index = Read("public/index.html");
  EXPECT_EQ(index.find("caf"), std::string::npos);
  EXPECT_EQ(index.find("\xEF\xBF\xBD"), std::string::npos);  // no U+FFFD
  EXPECT_CONTAINS(index, "<p class=\"count\">3 posts</p>");
  EXPECT_TRUE(Exists("public/articles/Hello.html"));
}

TEST_F(BuildHardeningTest, SpecialFilesAmongTheSourcesAreRefusedNotWaitedOn) {
  // Each of these, read as a file, waits for a writer that never comes.
  auto make_fifo = [this](const std::string& relative) {
    std::string path = ws_ + "/" + relative;
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << relative;
  };
  make_fifo("config/conf.ini");
  make_fifo("themes/plain/pages/about.mtpl");
  make_fifo("themes/plain/assets/feed.css");
  CommandResult built = Build({}, 120);
  ASSERT_NE(built.exit_status, 124) << "the build waited on a FIFO";
  EXPECT_EQ(built.exit_status, 1);
  EXPECT_CONTAINS(built.output, "config/conf.ini: is not a regular file");
  EXPECT_CONTAINS(built.output, "pages/about.mtpl: is not a regular file");
  EXPECT_CONTAINS(built.output, "assets/feed.css: is not a regular file");
  EXPECT_CONTAINS(Read("public/index.html"), "My Blog");

  make_fifo("themes/plain/timeline.mtpl");
  built = Build({}, 120);
  ASSERT_NE(built.exit_status, 124) << "the build waited on a FIFO";
  EXPECT_EQ(built.exit_status, 1);
  EXPECT_CONTAINS(built.output, "themes/plain/timeline.mtpl: is not a regular file");
  EXPECT_CONTAINS(built.output, "渲染出错");
}

}  // namespace
}  // namespace tarn
