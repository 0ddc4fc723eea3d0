#include "deploy/post_history.h"

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "deploy/command_runner.h"
#include "deploy/git_deployer.h"
#include "gtest/gtest.h"
#include "support/git_sandbox.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// A workspace in a temporary folder, with a git configuration of its own so
// that neither the machine's nor the user's settings leak in, and commits
// made at fixed times.
class PostHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GitSandbox(dir_, "main").Apply();
    workspace_ = (dir_ / "blog").string();
    fs::create_directories(workspace_ + "/_posts");
  }

  void Git(const std::vector<std::string>& args, const std::string& where = "") {
    std::vector<std::string> argv = {"git"};
    argv.insert(argv.end(), args.begin(), args.end());
    CommandResult result = CommandRunner::RunProgram(
        argv, GitDeployer::GitOptions(where.empty() ? workspace_ : where));
    ASSERT_TRUE(result.succeeded()) << args[0] << ": " << result.output << result.error;
  }

  // Commits everything in the workspace at the given time.
  void CommitAll(const std::string& subject, long time) {
    std::string date = "@" + std::to_string(time) + " +0000";
    setenv("GIT_AUTHOR_DATE", date.c_str(), 1);
    setenv("GIT_COMMITTER_DATE", date.c_str(), 1);
    Git({"add", "-A"});
    Git({"commit", "-q", "-m", subject});
    unsetenv("GIT_AUTHOR_DATE");
    unsetenv("GIT_COMMITTER_DATE");
  }

  std::string Post(const std::string& name) const { return workspace_ + "/_posts/" + name; }
  void WritePost(const std::string& name, const std::string& text) {
    dir_.Write("blog/_posts/" + name, text);
  }

  TempDir dir_{"history"};
  std::string workspace_;
};

// Long enough that a small edit still counts as the same file for rename
// detection; "%41", CR LF, Chinese and an emoji must come back unchanged.
const std::string kFirst = "---\r\ntitle: 西湖\r\n---\r\n水光潋滟晴方好，%41 不是 A。🌸\r\n" +
                           std::string(200, 'x') + "\r\n";
const std::string kSecond = kFirst + "second paragraph\r\n";
const std::string kThird = kSecond + "third paragraph\r\n";

TEST_F(PostHistoryTest, ListsVersionsNewestFirstAcrossARenameAndReadsEach) {
  Git({"init", "-q"});
  WritePost("lake.md", kFirst);
  WritePost("other.md", "another post\n");
  CommitAll("first", 1700000000);
  WritePost("lake.md", kSecond);
  CommitAll("second", 1700000600);
  WritePost("other.md", "another post, changed\n");
  CommitAll("only the other post", 1700001200);
  fs::remove(Post("lake.md"));
  WritePost("西湖游记.md", kThird);
  CommitAll("renamed", 1700001800);

  PostHistory history(workspace_);
  PostHistoryListing listing = history.List(Post("西湖游记.md"));
  ASSERT_EQ(listing.versions.size(), 3u) << listing.reason;
  EXPECT_EQ(listing.reason, "");
  std::vector<std::string> subjects, paths;
  for (const PostVersion& v : listing.versions) {
    subjects.push_back(v.subject);
    paths.push_back(v.path);
  }
  EXPECT_EQ(subjects, (std::vector<std::string>{"renamed", "second", "first"}));
  EXPECT_EQ(paths,
            (std::vector<std::string>{"_posts/西湖游记.md", "_posts/lake.md", "_posts/lake.md"}));
  EXPECT_EQ(listing.versions[0].time, 1700001800);
  EXPECT_EQ(listing.versions[2].time, 1700000000);

  // Each version's text comes back byte for byte, the oldest from under
  // its old name.
  const std::string expected[] = {kThird, kSecond, kFirst};
  for (int i = 0; i < 3; ++i) {
    std::string text, error;
    ASSERT_TRUE(history.Read(listing.versions[i], &text, &error)) << error;
    EXPECT_EQ(text, expected[i]) << i;
  }
}

TEST_F(PostHistoryTest, NoRepositoryNoCommitOrANewPostGiveAReasonAndNoVersions) {
  WritePost("new.md", "new\n");
  PostHistory history(workspace_);
  // The workspace is no repository, though the folder around it is one:
  // that other repository's history is not the blog's.
  Git({"init", "-q"}, dir_.str());
  PostHistoryListing listing = history.List(Post("new.md"));
  EXPECT_TRUE(listing.versions.empty());
  EXPECT_EQ(listing.reason, PostHistory::kNoRepository);

  // A .git that git refuses is said as git says it, not taken for "no
  // backup yet".
  dir_.Write("blog/.git", "gitdir: " + (dir_ / "gone").string() + "\n");
  listing = history.List(Post("new.md"));
  EXPECT_TRUE(listing.versions.empty());
  EXPECT_NE(listing.reason.find("gone"), std::string::npos) << listing.reason;
  fs::remove(workspace_ + "/.git");

  // A repository without a commit yet.
  Git({"init", "-q"});
  EXPECT_EQ(history.List(Post("new.md")).reason, PostHistory::kNoRepository);

  // Backed up, but the post came later.
  fs::remove(Post("new.md"));
  WritePost("old.md", "old\n");
  CommitAll("backup", 1700000000);
  WritePost("new.md", "new\n");
  listing = history.List(Post("new.md"));
  EXPECT_TRUE(listing.versions.empty());
  EXPECT_EQ(listing.reason, PostHistory::kNeverBackedUp);
  EXPECT_EQ(history.List(Post("old.md")).versions.size(), 1u);
}

TEST_F(PostHistoryTest, RefusesWhatIsNoPostOfTheWorkspaceAndWhatIsNoCommitId) {
  Git({"init", "-q"});
  dir_.Write("blog/config/base.json", "{}\n");
  dir_.Write("outside.md", "secret\n");
  WritePost("lake.md", kFirst);
  fs::create_symlink(dir_ / "outside.md", Post("link.md"));
  CommitAll("first", 1700000000);
  PostHistory history(workspace_);
  for (const std::string& path :
       {workspace_ + "/config/base.json", (dir_ / "outside.md").string(), Post("link.md"),
        workspace_ + "/_posts/../config/base.json", Post("missing/../../outside.md")}) {
    PostHistoryListing listing = history.List(path);
    EXPECT_TRUE(listing.versions.empty()) << path;
    EXPECT_EQ(listing.reason, PostHistory::kNotAPost) << path;
  }

  PostVersion good = history.List(Post("lake.md")).versions.at(0);
  std::string text, error;
  // Revision expressions and options are no commit ids; paths must stay
  // inside the tree.
  for (const std::string& commit :
       {std::string("HEAD"), std::string("main"), std::string("--output=/tmp/x"),
        good.commit.substr(0, 3), good.commit + "~1", std::string("")}) {
    PostVersion bad = good;
    bad.commit = commit;
    EXPECT_FALSE(history.Read(bad, &text, &error)) << commit;
    EXPECT_NE(error.find("no commit id"), std::string::npos) << error;
  }
  for (const std::string& path : {std::string("../outside.md"), std::string("/etc/passwd"),
                                  std::string("_posts/../../outside.md"), std::string("")}) {
    PostVersion bad = good;
    bad.path = path;
    EXPECT_FALSE(history.Read(bad, &text, &error)) << path;
  }
  // A well-formed id of no commit here fails with git's reason.
  PostVersion unknown = good;
  unknown.commit = std::string(40, 'a');
  error.clear();
  EXPECT_FALSE(history.Read(unknown, &text, &error));
  EXPECT_NE(error.find(unknown.commit), std::string::npos) << error;
}

TEST(PostHistoryParseTest, QuotedPathsAndMergesWithoutAPath) {
  const std::string a(40, 'a'), b(40, 'b'), c(40, 'c'), d(40, 'd');
  std::string output =
      "warning: ignored before the first record\n"
      "\x1e" +
      a +
      "\x1f"
      "300\x1f"
      "merge\n\n"
      "\x1e" +
      b +
      "\x1f"
      "200\x1f"
      "quoted\n\n\"_posts/a\\\"b\\tc.md\"\n"
      "\x1e" +
      c +
      "\x1f"
      "150\x1f"
      "merge again\n"
      "\x1e" +
      d +
      "\x1f"
      "100\x1f"
      "octal\n\n\"_posts/\\346\\270\\270.md\"\n"
      "\x1e"
      "not-hex\x1f"
      "50\x1f"
      "skipped\n\n_posts/x.md\n";
  std::vector<PostVersion> versions = PostHistory::ParseLog(output, "_posts/now.md");
  ASSERT_EQ(versions.size(), 4u);
  // A commit without a path takes the name the older version left.
  EXPECT_EQ(versions[0].path, "_posts/a\"b\tc.md");
  EXPECT_EQ(versions[0].subject, "merge");
  EXPECT_EQ(versions[1].path, "_posts/a\"b\tc.md");
  EXPECT_EQ(versions[2].path, "_posts/游.md");
  // Without any: the post's current path.
  EXPECT_EQ(PostHistory::ParseLog("\x1e" + a +
                                      "\x1f"
                                      "1\x1f"
                                      "m\n",
                                  "_posts/now.md")
                .at(0)
                .path,
            "_posts/now.md");
  EXPECT_EQ(versions[3].path, "_posts/游.md");
  EXPECT_EQ(versions[3].time, 100);
}

}  // namespace
}  // namespace tarn
