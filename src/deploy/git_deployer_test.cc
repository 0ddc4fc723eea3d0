#include "deploy/git_deployer.h"

#include <glib.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// Each test gets a scratch folder and a git configuration of its own, so
// neither the machine's nor the user's settings (identity, default branch)
// leak in.
class GitDeployerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tarn-git-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    WriteFile(root_ + "/gitconfig",
              "[init]\n\tdefaultBranch = main\n[user]\n\tuseConfigOnly = true\n");
    setenv("GIT_CONFIG_GLOBAL", (root_ + "/gitconfig").c_str(), 1);
    setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
    SetIdentity(true);
    work_ = root_ + "/public";
    fs::create_directories(work_);
    deployer_.set_diagnostic_sink([this](const std::string& m) { reasons_.push_back(m); });
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  static void SetIdentity(bool on) {
    for (const char* who : {"AUTHOR", "COMMITTER"}) {
      std::string name = std::string("GIT_") + who + "_NAME";
      std::string email = std::string("GIT_") + who + "_EMAIL";
      if (on) {
        setenv(name.c_str(), "Tarn Test", 1);
        setenv(email.c_str(), "test@example.invalid", 1);
      } else {
        unsetenv(name.c_str());
        unsetenv(email.c_str());
      }
    }
  }

  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  // Runs git in dir and returns its output; the test fails when git does.
  std::string Git(const std::string& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "git");
    ProgramOptions options;
    options.work_dir = dir;
    CommandResult result = CommandRunner::RunProgram(args, options);
    EXPECT_TRUE(result.succeeded()) << result.output;
    return result.output;
  }

  std::string MakeBareRemote(const std::string& name) {
    std::string path = root_ + "/" + name + ".git";
    fs::create_directories(path);
    Git(path, {"init", "--bare", "-q", "--initial-branch=master"});
    return path;
  }

  // Starts the deployer on work_ and collects everything it says.
  void Init() {
    ASSERT_TRUE(deployer_.InitRepository(work_, [this](const std::string& text) {
      said_ += text;
      return 0;
    }));
  }

  std::string root_;
  std::string work_;
  std::string said_;
  std::vector<std::string> reasons_;
  GitDeployer deployer_;
};

TEST(GitDeployerMessageTest, AutomaticMessageCountsFromTheEpochReadEightHoursAhead) {
  const char* old_tz = getenv("TZ");
  std::string saved = old_tz ? old_tz : "";
  // 2020-02-05 16:00:00 at UTC+8 is 08:00:00 UTC.
  const std::time_t instant = 1580889600;
  setenv("TZ", "CST-8", 1);
  tzset();
  EXPECT_EQ(GitDeployer::AutomaticCommitMessage(instant), "1580889600000 TarnBlogEdit Commit");
  setenv("TZ", "UTC0", 1);
  tzset();
  EXPECT_EQ(GitDeployer::AutomaticCommitMessage(instant), "1580860800000 TarnBlogEdit Commit");
  setenv("TZ", "EST5", 1);
  tzset();
  EXPECT_EQ(GitDeployer::AutomaticCommitMessage(instant), "1580842800000 TarnBlogEdit Commit");
  if (old_tz)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(GitDeployerMessageTest, RecognisesAPushRejectedBecauseTheRemoteIsAhead) {
  // git up to 2.41.
  EXPECT_TRUE(GitDeployer::IsRejectedAsBehind(
      "hint: See the 'Note about fast-forwards' in 'git push --help' for details.\n"
      "HINT: 'GIT PULL ...') BEFORE PUSHING AGAIN.\n"));
  // Newer git words its advice differently.
  EXPECT_TRUE(GitDeployer::IsRejectedAsBehind(
      "hint: have locally. This is usually caused by another repository pushing to\n"
      "hint: the same ref. If you want to integrate the remote changes, use\n"
      "hint: 'git pull' before pushing again.\n"));
  // Hints switched off or translated: the status line still says it.
  EXPECT_TRUE(GitDeployer::IsRejectedAsBehind(
      "To /tmp/r.git\n ! [rejected]        master -> master (fetch first)\nerror: 无法推送\n"));
  EXPECT_TRUE(GitDeployer::IsRejectedAsBehind(
      " ! [rejected]        master -> master (non-fast-forward)\n"));

  // Rejections a pull cannot mend, and other failures.
  EXPECT_FALSE(GitDeployer::IsRejectedAsBehind(
      " ! [remote rejected] master -> master (pre-receive hook declined)\n"));
  EXPECT_FALSE(GitDeployer::IsRejectedAsBehind(" ! [rejected]        v1 -> v1 (already exists)\n"));
  EXPECT_FALSE(GitDeployer::IsRejectedAsBehind(
      "fatal: '/nowhere' does not appear to be a git repository\n"));
  EXPECT_FALSE(GitDeployer::IsRejectedAsBehind("Everything up-to-date\n"));
}

TEST_F(GitDeployerTest, InitCreatesMasterOnceAndThenOnlySaysItIsReady) {
  Init();
  EXPECT_EQ(Git(work_, {"symbolic-ref", "HEAD"}), "refs/heads/master\n");

  said_.clear();
  GitDeployer again;
  int calls = 0;
  ASSERT_TRUE(again.InitRepository(work_, [&](const std::string& text) {
    ++calls;
    said_ += text;
    return 0;
  }));
  EXPECT_EQ(said_, ".git is all ready\n");
  EXPECT_EQ(calls, 1);
}

TEST_F(GitDeployerTest, MissingFolderIsAnErrorAndGitNeverRunsElsewhere) {
  std::string missing = root_ + "/no-such-folder";
  EXPECT_FALSE(deployer_.InitRepository(missing));
  EXPECT_FALSE(fs::exists(missing));
  ASSERT_EQ(reasons_.size(), 1u);
  EXPECT_NE(reasons_[0].find(missing), std::string::npos);
  EXPECT_FALSE(deployer_.Commit());
  EXPECT_FALSE(deployer_.Push());

  GitDeployer never_started;
  std::vector<std::string> reasons;
  never_started.set_diagnostic_sink([&](const std::string& m) { reasons.push_back(m); });
  EXPECT_FALSE(never_started.Status());
  EXPECT_EQ(reasons.size(), 1u);
}

TEST_F(GitDeployerTest, SetRemoteAddsOriginOnlyWhenNoRemoteExists) {
  Init();
  const std::string hostile = root_ + "/x; touch " + root_ + "/owned";
  EXPECT_TRUE(deployer_.SetRemote(hostile));
  EXPECT_EQ(Git(work_, {"remote", "get-url", "origin"}), hostile + "\n");
  EXPECT_FALSE(fs::exists(root_ + "/owned"));

  said_.clear();
  EXPECT_TRUE(deployer_.SetRemote(root_ + "/other.git"));
  EXPECT_NE(said_.find("remote is ready\n"), std::string::npos);
  EXPECT_EQ(deployer_.remote_url(), root_ + "/other.git");
  // The configured remote is kept as it was.
  EXPECT_EQ(Git(work_, {"remote", "get-url", "origin"}), hostile + "\n");
}

TEST_F(GitDeployerTest, CommitHandsBackTheMessageAndTreatsNothingToCommitAsFine) {
  Init();
  WriteFile(work_ + "/index.html", "<p>hi</p>\n");
  std::string message;
  ASSERT_TRUE(deployer_.Commit(&message));
  EXPECT_TRUE(g_regex_match_simple("^[0-9]{10}000 TarnBlogEdit Commit$", message.c_str(),
                                   G_REGEX_DEFAULT, G_REGEX_MATCH_DEFAULT))
      << message;
  EXPECT_EQ(Git(work_, {"log", "-1", "--format=%s"}), message + "\n");

  EXPECT_TRUE(deployer_.Commit());  // nothing changed

  WriteFile(work_ + "/quote.html", "q\n");
  std::string quoted = "say \"hi\" $(id) `id`";
  ASSERT_TRUE(deployer_.Commit(&quoted));
  EXPECT_EQ(Git(work_, {"log", "-1", "--format=%s"}), quoted + "\n");
}

TEST_F(GitDeployerTest, CommitWithoutAnIdentityIsAFailure) {
  Init();
  SetIdentity(false);
  WriteFile(work_ + "/index.html", "x\n");
  EXPECT_FALSE(deployer_.Commit());
  SetIdentity(true);
}

TEST_F(GitDeployerTest, PushCreatesTheRemoteBranchAndPushesTwice) {
  std::string remote = MakeBareRemote("site");
  Init();
  WriteFile(work_ + "/index.html", "one\n");
  ASSERT_TRUE(deployer_.Commit());
  ASSERT_TRUE(deployer_.SetRemote(remote));
  said_.clear();
  EXPECT_TRUE(deployer_.Push());
  EXPECT_EQ(Git(remote, {"rev-parse", "master"}), Git(work_, {"rev-parse", "HEAD"}));
  // The second push has nothing left to do and says so.
  EXPECT_NE(said_.find("Everything up-to-date"), std::string::npos) << said_;
  EXPECT_EQ(said_.find("提交冲突"), std::string::npos);
}

TEST_F(GitDeployerTest, PushJoinsARemoteWithAnUnrelatedHistory) {
  // A remote created on a hosting site with a README of its own.
  std::string remote = MakeBareRemote("site");
  std::string other = root_ + "/other";
  Git(root_, {"clone", "-q", remote, other});
  WriteFile(other + "/README.md", "# hosted\n");
  Git(other, {"add", "README.md"});
  Git(other, {"commit", "-q", "-m", "hosted readme"});
  Git(other, {"push", "-q", "origin", "HEAD:master"});

  Init();
  WriteFile(work_ + "/index.html", "mine\n");
  ASSERT_TRUE(deployer_.Commit());
  ASSERT_TRUE(deployer_.SetRemote(remote));
  said_.clear();
  EXPECT_TRUE(deployer_.Push()) << said_;
  EXPECT_NE(said_.find(std::string(GitDeployer::kConflictNotice) + "\n"), std::string::npos);
  std::string files = Git(remote, {"ls-tree", "--name-only", "master"});
  EXPECT_EQ(files, "README.md\nindex.html\n");
}

TEST_F(GitDeployerTest, ConflictingPullIsAbortedAndThePushFails) {
  std::string remote = MakeBareRemote("site");
  Init();
  WriteFile(work_ + "/index.html", "base\n");
  ASSERT_TRUE(deployer_.Commit());
  ASSERT_TRUE(deployer_.SetRemote(remote));
  ASSERT_TRUE(deployer_.Push());

  std::string other = root_ + "/other";
  Git(root_, {"clone", "-q", remote, other});
  WriteFile(other + "/index.html", "theirs\n");
  Git(other, {"commit", "-q", "-am", "theirs"});
  Git(other, {"push", "-q", "origin", "master"});

  WriteFile(work_ + "/index.html", "ours\n");
  ASSERT_TRUE(deployer_.Commit());
  said_.clear();
  EXPECT_FALSE(deployer_.Push());
  EXPECT_NE(said_.find(GitDeployer::kConflictNotice), std::string::npos);
  // No merge left half done, no conflict markers in the work tree.
  EXPECT_EQ(Git(work_, {"status", "--porcelain"}), "");
  EXPECT_FALSE(fs::exists(work_ + "/.git/MERGE_HEAD"));
  std::ifstream in(work_ + "/index.html");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "ours\n");
}

}  // namespace
}  // namespace tarn
