// tarn build with several script hosts and with the Markdown cache: the real
// binary on a fixture workspace must write the same public/ tree, byte for
// byte, as a build on one host without the cache.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "data/text_file.h"
#include "support/workspace_test.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

using Tree = std::map<std::string, std::string>;

class ParallelBuildTest : public WorkspaceTest {
 protected:
  void SetUp() override {
    WorkspaceTest::SetUp();
    if (HasFatalFailure()) return;
    // The manager page the build ships (markdown-it), when it has been built.
    fs::path shipped = fs::path(TARN_BUILD_DIR) / "template";
    if (fs::exists(shipped / "vendor" / "markdown-it.min.js")) {
      fs::remove_all(ws_ + "/template");
      fs::copy(shipped, ws_ + "/template", fs::copy_options::recursive);
    }
    for (int i = 0; i < 40; ++i) {
      std::string n = std::to_string(i);
      Put("_posts/post " + n + ".md",
          "----------\r\nPost " + n + "|2020-02-05|tag\r\n----------\r\n\r\n# Post " + n +
              "\r\n\r\n中文段落 " + n +
              " with *emphasis* & <b>bold</b>.\r\n\r\n| a | b |\r\n"
              "|---|---|\r\n| " +
              n + " | 表 |\r\n\r\n```\r\ncode < " + n +
              "\r\n```\r\n\r\n- item\r\n- https://example.com/" + n + "\r\n");
    }
    Put("_posts/twin a.md", "# Same text\r\n\r\nTwice.\r\n");
    Put("_posts/twin b.md", "# Same text\r\n\r\nTwice.\r\n");
    Put("_posts/empty.md", "");
  }
  TarnOutcome Build(const std::string& options, const std::string& env = "") {
    // Workers for these few posts too: they are what is tested.
    return RunTarn(ws_, "build " + options, "TARN_TEST_BYTES_PER_WORKER=0 " + env);
  }

  // public/ as path -> bytes. The index's create_time and the feed's
  // lastBuildDate are the time of the build, the one thing two builds may
  // rightly disagree on.
  Tree Public() {
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(ws_ + "/public")) {
      if (!entry.is_regular_file()) continue;
      std::string text;
      EXPECT_TRUE(ReadTextFile(entry.path().string(), &text));
      std::string name = fs::relative(entry.path(), ws_ + "/public").string();
      if (name == "database.json") {
        text = std::regex_replace(text, std::regex("\"create_time\":\"[^\"]*\""),
                                  "\"create_time\":\"\"");
      } else if (name == "atom.xml") {
        text = std::regex_replace(text, std::regex("<lastBuildDate>[^<]*</lastBuildDate>"),
                                  "<lastBuildDate></lastBuildDate>");
      }
      tree[name] = text;
    }
    return tree;
  }

  // A fresh public/ from a build with these options.
  Tree Fresh(const std::string& options) {
    fs::remove_all(ws_ + "/public");
    TarnOutcome outcome = Build(options);
    EXPECT_EQ(outcome.status, 0) << options << "\n" << outcome.err;
    EXPECT_EQ(outcome.err, "") << options;
    return Public();
  }

  std::string Cache() const { return ws_ + "/.tarn/markdown-cache.bin"; }
};

// Names the files that differ instead of printing two whole sites.
void ExpectSameTree(const Tree& expected, const Tree& actual, const std::string& what) {
  EXPECT_EQ(expected.size(), actual.size()) << what;
  for (const auto& [name, bytes] : expected) {
    auto it = actual.find(name);
    if (it == actual.end()) {
      ADD_FAILURE() << what << ": " << name << " is missing";
    } else if (it->second != bytes) {
      ADD_FAILURE() << what << ": " << name << " differs";
    }
  }
}

TEST_F(ParallelBuildTest, EveryWayOfBuildingWritesTheSameBytes) {
  Tree sequential = Fresh("-j 1 --no-cache");
  ASSERT_EQ(sequential.count("articles/post 7.html"), 1u);
  EXPECT_FALSE(fs::exists(ws_ + "/.tarn")) << "--no-cache wrote a cache";

  ExpectSameTree(sequential, Fresh("-j 4"), "4 hosts, empty cache");
  ASSERT_TRUE(fs::exists(Cache()));
  ExpectSameTree(sequential, Fresh("-j 4"), "4 hosts, full cache");
  ExpectSameTree(sequential, Fresh("-j2"), "2 hosts, full cache");
  ExpectSameTree(sequential, Fresh(""), "one host per processor, full cache");

  // A post edited since: the cache must not hand back its old page.
  Put("_posts/post 7.md", "# Post 7, rewritten\r\n\r\nNew **text**.\r\n");
  Tree edited = Fresh("-j 1 --no-cache");
  EXPECT_NE(edited["articles/post 7.html"], sequential["articles/post 7.html"]);
  ExpectSameTree(edited, Fresh("-j 3"), "after an edit, cached");
  // Building over the previous public/ changes nothing either.
  TarnOutcome again = Build("-j 3");
  EXPECT_EQ(again.status, 0) << again.err;
  ExpectSameTree(edited, Public(), "built over the last build");
}

TEST_F(ParallelBuildTest, WorkersThatDieLeaveTheirPostsToTheBuild) {
  // Enough posts that the workers, which start while the build's own host
  // is already converting, are likely to be handed some.
  std::string body;
  for (int i = 0; i < 60; ++i) body += "Paragraph *" + std::to_string(i) + "* 段落 `code`.\r\n\r\n";
  for (int i = 0; i < 200; ++i)
    Put("_posts/more " + std::to_string(i) + ".md", body + "# " + std::to_string(i));
  Tree reference = Fresh("-j 1 --no-cache");
  // Workers that quit after 0 and after 5 posts, without answering the one
  // they were given: every page is still written, and right.
  for (const char* after : {"0", "5"}) {
    fs::remove_all(ws_ + "/public");
    TarnOutcome outcome =
        Build("-j 3 --no-cache", std::string("TARN_TEST_WORKER_EXIT_AFTER=") + after);
    EXPECT_EQ(outcome.status, 0) << after << "\n" << outcome.err;
    ExpectSameTree(reference, Public(), std::string("workers dying after ") + after);
    // Said once per worker, not once per post.
    std::size_t said = 0;
    for (std::size_t at = 0;
         (at = outcome.err.find("conversion worker stopped", at)) != std::string::npos; ++at) {
      ++said;
    }
    EXPECT_LE(said, 2u) << outcome.err;
  }
  // The cache the interrupted build wrote holds only right pages.
  Build("-j 2", "TARN_TEST_WORKER_EXIT_AFTER=3");
  ExpectSameTree(reference, Fresh("-j 1"), "from the cache of an interrupted build");
}

TEST_F(ParallelBuildTest, CacheOfOtherScriptsIsNotUsed) {
  Fresh("");
  ASSERT_TRUE(fs::exists(Cache()));
  // New page scripts that convert differently: every page must show them.
  std::string page;
  ASSERT_TRUE(ReadTextFile(ws_ + "/template/index copy.html", &page));
  std::size_t end = page.rfind("</script>");
  ASSERT_NE(end, std::string::npos);
  page.insert(end,
              "\n(function () { var old = markToHtml;"
              " markToHtml = function (s) { return '<div class=\"v2\">' + old(s) + '</div>'; };"
              " })();\n");
  Put("template/index copy.html", page);
  Tree cached = Fresh("-j 2");
  Tree reference = Fresh("-j 1 --no-cache");
  ExpectSameTree(reference, cached, "new scripts");
  EXPECT_NE(cached["articles/post 3.html"].find("<div class=\"v2\">"), std::string::npos);
}

TEST_F(ParallelBuildTest, DamagedCacheIsIgnoredAndRebuilt) {
  Tree reference = Fresh("-j 1 --no-cache");
  Fresh("");
  std::string bytes;
  ASSERT_TRUE(ReadTextFile(Cache(), &bytes));
  for (std::string damaged : {bytes.substr(0, bytes.size() / 2), bytes.substr(0, 10),
                              std::string("not a cache at all")}) {
    ASSERT_TRUE(WriteTextFile(Cache(), damaged));
    fs::remove_all(ws_ + "/public");
    TarnOutcome outcome = Build("-j 2");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.err.find(".tarn/markdown-cache.bin"), std::string::npos) << outcome.err;
    ExpectSameTree(reference, Public(), "damaged cache");
    // Rebuilt: the next build has nothing to say.
    EXPECT_EQ(Fresh("-j 2").size(), reference.size());
  }
  // A folder where the cache file should be: the build still succeeds.
  fs::remove_all(ws_ + "/.tarn");
  fs::create_directories(Cache());
  fs::remove_all(ws_ + "/public");
  TarnOutcome blocked = Build("-j 2");
  EXPECT_EQ(blocked.status, 0) << blocked.err;
  ExpectSameTree(reference, Public(), "unwritable cache");
}

TEST_F(ParallelBuildTest, RejectsBadOptions) {
  for (const char* options : {"-j 0", "-j", "-j x", "-j 65", "-j 2x", "--jobs -1", "--cache"}) {
    TarnOutcome outcome = Build(options);
    EXPECT_EQ(outcome.status, 2) << options;
    EXPECT_NE(outcome.err.find("usage: tarn [-w DIR] build [-j N] [--no-cache]"), std::string::npos)
        << options << ": " << outcome.err;
  }
  EXPECT_FALSE(fs::exists(ws_ + "/public"));
}

}  // namespace
}  // namespace tarn
