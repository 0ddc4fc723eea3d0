// tarn backup end to end: the real tarn binary and the real git, with local
// bare repositories standing in for the private source remote.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "deploy/command_runner.h"
#include "gtest/gtest.h"
#include "support/git_sandbox.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// A workspace copied from the deploy fixture with a generated site, private
// state and the generated page beside the sources, and a git configuration
// of its own (the user's ~/.gitconfig plays no part).
class BackupE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ws_ = (dir_ / "ws").string();
    fs::copy(TARN_SOURCE_DIR "/tests/fixtures/deploy/workspace", ws_, fs::copy_options::recursive);
    dir_.Write("ws/public/index.html", "<p>site</p>\n");
    dir_.Write("ws/.tarn/state", "private\n");
    dir_.Write("ws/template/index.html", "<html>generated</html>\n");
    env_ = GitSandbox(dir_, "trunk").variables();
    env_.push_back({"LC_ALL", "C"});
  }

  void SetSourceUrl(const std::string& url) {
    dir_.Write(
        "ws/config/base.json",
        "{\"system\":{\"title\":\"Fixture\",\"theme\":\"plain\",\"sourceUrl\":\"" + url + "\"}}\n");
  }

  CommandResult Run(std::vector<std::string> argv, const std::string& work_dir) {
    ProgramOptions options;
    options.work_dir = work_dir;
    options.env = env_;
    return CommandRunner::RunProgram(argv, options);
  }
  CommandResult Backup() { return Run({TARN_BINARY, "-w", ws_, "backup"}, dir_.str()); }

  // git's output; the test fails when git does.
  std::string Git(const std::string& work_dir, std::vector<std::string> args) {
    args.insert(args.begin(), "git");
    CommandResult result = Run(args, work_dir);
    EXPECT_TRUE(result.succeeded()) << "git " << args[1] << ": " << result.output;
    return result.output;
  }

  std::string MakeBareRemote() {
    std::string path = (dir_ / "source.git").string();
    fs::create_directories(path);
    Git(path, {"init", "-q", "--bare", "--initial-branch=main"});
    return path;
  }

  // Another computer: a clone of the remote that changes a post and pushes.
  void EditElsewhere(const std::string& remote, const std::string& post, const std::string& text) {
    std::string other = (dir_ / "other").string();
    if (!fs::exists(other)) Git(dir_.str(), {"clone", "-q", "-b", "main", remote, other});
    Git(other, {"pull", "-q", "--no-rebase", "origin", "main"});
    dir_.Write("other/_posts/" + post, text);
    Git(other, {"add", "-A"});
    Git(other, {"commit", "-q", "-m", "edited elsewhere"});
    Git(other, {"push", "-q", "origin", "main"});
  }

  TempDir dir_{"backup"};
  std::string ws_;
  std::vector<std::pair<std::string, std::string>> env_;
};

TEST_F(BackupE2eTest, CommitsSourcesOnlyAndNothingWhenNothingChanged) {
  CommandResult first = Backup();
  ASSERT_EQ(first.exit_status, 0) << first.output;
  // main, although this user's git would start repositories on trunk.
  EXPECT_EQ(Git(ws_, {"symbolic-ref", "HEAD"}), "refs/heads/main\n");
  std::string files = Git(ws_, {"ls-tree", "-r", "--name-only", "HEAD"});
  EXPECT_NE(files.find("_posts/hello.md\n"), std::string::npos) << files;
  EXPECT_NE(files.find("themes/plain/post.mtpl\n"), std::string::npos) << files;
  EXPECT_NE(files.find(".gitignore\n"), std::string::npos) << files;
  for (const char* left_out : {"public/", ".tarn/", "template/index.html"})
    EXPECT_EQ(files.find(left_out), std::string::npos) << left_out << " in\n" << files;

  CommandResult again = Backup();
  EXPECT_EQ(again.exit_status, 0) << again.output;
  EXPECT_NE(again.output.find("nothing changed"), std::string::npos) << again.output;
  EXPECT_EQ(Git(ws_, {"rev-list", "--count", "HEAD"}), "1\n");

  // The message names what changed; the user's own ignore lines stay.
  dir_.Write("ws/_posts/hello.md", "changed\n");
  dir_.Write("ws/_posts/new.md", "new\n");
  dir_.Write("ws/config/conf.ini", "[base]\n");
  dir_.Write("ws/.gitignore", "*.bak\n");
  CommandResult second = Backup();
  ASSERT_EQ(second.exit_status, 0) << second.output;
  EXPECT_EQ(Git(ws_, {"log", "-1", "--format=%s"}),
            "1 post changed, 1 added; 1 other file changed, 1 added\n");
  std::string ignore = dir_.Read("ws/.gitignore");
  EXPECT_EQ(ignore.rfind("*.bak\n", 0), 0u) << ignore;
  EXPECT_NE(ignore.find("/public/\n"), std::string::npos) << ignore;
}

TEST_F(BackupE2eTest, PushesAndJoinsTheHistoryOfAnotherComputer) {
  std::string remote = MakeBareRemote();
  SetSourceUrl(remote);
  CommandResult first = Backup();
  ASSERT_EQ(first.exit_status, 0) << first.output;
  EXPECT_EQ(Git(remote, {"rev-parse", "main"}), Git(ws_, {"rev-parse", "HEAD"}));

  EditElsewhere(remote, "elsewhere.md", "from the other computer\n");
  dir_.Write("ws/_posts/hello.md", "edited here\n");
  CommandResult second = Backup();
  ASSERT_EQ(second.exit_status, 0) << second.output;
  std::string log = Git(remote, {"log", "--format=%s", "main"});
  EXPECT_NE(log.find("edited elsewhere\n"), std::string::npos) << log;
  EXPECT_NE(log.find("1 post changed\n"), std::string::npos) << log;
  EXPECT_EQ(dir_.Read("ws/_posts/elsewhere.md"), "from the other computer\n");
  EXPECT_EQ(Git(remote, {"rev-parse", "main"}), Git(ws_, {"rev-parse", "HEAD"}));
}

TEST_F(BackupE2eTest, ConflictIsReportedWithTheWorkTreeCleanAndTheRemoteUnchanged) {
  std::string remote = MakeBareRemote();
  SetSourceUrl(remote);
  ASSERT_EQ(Backup().exit_status, 0);
  EditElsewhere(remote, "hello.md", "theirs\n");
  std::string theirs = Git(remote, {"rev-parse", "main"});
  dir_.Write("ws/_posts/hello.md", "mine\n");

  CommandResult backup = Backup();
  EXPECT_EQ(backup.exit_status, 1) << backup.output;
  EXPECT_NE(backup.output.find("both changed:\n_posts/hello.md\n"), std::string::npos)
      << backup.output;
  EXPECT_EQ(Git(remote, {"rev-parse", "main"}), theirs);
  EXPECT_EQ(Git(ws_, {"status", "--porcelain"}), "");
  EXPECT_EQ(dir_.Read("ws/_posts/hello.md"), "mine\n");
  EXPECT_FALSE(Run({"git", "rev-parse", "-q", "--verify", "MERGE_HEAD"}, ws_).succeeded());
}

TEST_F(BackupE2eTest, DetachedHeadAndMissingRemoteFailWithoutChangingAnything) {
  ASSERT_EQ(Backup().exit_status, 0);
  std::string head = Git(ws_, {"rev-parse", "HEAD"});
  Git(ws_, {"checkout", "-q", "--detach"});
  dir_.Write("ws/_posts/hello.md", "edited\n");
  CommandResult detached = Backup();
  EXPECT_EQ(detached.exit_status, 1);
  EXPECT_NE(detached.output.find("detached"), std::string::npos) << detached.output;
  EXPECT_EQ(Git(ws_, {"rev-parse", "HEAD"}), head);

  // A push that fails is never reported as a success; the commit is kept.
  Git(ws_, {"checkout", "-q", "main"});
  SetSourceUrl((dir_ / "missing.git").string());
  CommandResult unreachable = Backup();
  EXPECT_EQ(unreachable.exit_status, 1) << unreachable.output;
  EXPECT_NE(unreachable.output.find("push to"), std::string::npos) << unreachable.output;
  EXPECT_EQ(Git(ws_, {"rev-list", "--count", "HEAD"}), "2\n");
}

// A blog made with tarn init, backed up without its vendored page
// libraries, restored on "another computer" with init --from: the restored
// blog is complete and builds the same pages.
TEST_F(BackupE2eTest, InitFromABackupRestoresABlogThatBuildsTheSameSite) {
  std::string remote = MakeBareRemote();
  std::string first = (dir_ / "first").string(), second = (dir_ / "second").string();
  ASSERT_EQ(Run({TARN_BINARY, "init", first}, dir_.str()).exit_status, 0);
  dir_.Write("first/.gitignore", dir_.Read("first/.gitignore") + "/template/vendor/\n");
  CommandResult backup = Run({TARN_BINARY, "-w", first, "backup"}, dir_.str());
  ASSERT_EQ(backup.exit_status, 0) << backup.output;
  ASSERT_EQ(Git(first, {"push", "-q", remote, "main"}), "");

  CommandResult restore = Run({TARN_BINARY, "init", second, "--from", remote}, dir_.str());
  ASSERT_EQ(restore.exit_status, 0) << restore.output;
  EXPECT_TRUE(fs::is_directory(second + "/template/vendor")) << restore.output;
  EXPECT_EQ(Git(second, {"rev-parse", "HEAD"}), Git(first, {"rev-parse", "HEAD"}));
  for (const std::string& blog : {first, second}) {
    CommandResult build = Run({TARN_BINARY, "-w", blog, "build"}, dir_.str());
    ASSERT_EQ(build.exit_status, 0) << blog << ": " << build.output;
  }
  int pages = 0;
  for (const auto& entry : fs::recursive_directory_iterator(first + "/public/articles")) {
    if (!entry.is_regular_file()) continue;
    std::string relative = fs::relative(entry.path(), first).string();
    EXPECT_EQ(dir_.Read("second/" + relative), dir_.Read("first/" + relative)) << relative;
    ++pages;
  }
  EXPECT_GT(pages, 0);

  // A URL that holds no backup leaves no blog behind.
  CommandResult missing =
      Run({TARN_BINARY, "init", (dir_ / "third").string(), "--from", dir_.str() + "/none.git"},
          dir_.str());
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_FALSE(fs::exists(dir_ / "third"));
}

// A blog published and backed up, restored on another computer: the
// restore brings the published site's history into public/, so the first
// publish there continues it instead of stopping at an "earlier site".
TEST_F(BackupE2eTest, ARestoredBlogPublishesOnTopOfItsOwnSite) {
  std::string source = MakeBareRemote();
  std::string site = (dir_ / "site.git").string();
  fs::create_directories(site);
  Git(site, {"init", "-q", "--bare", "--initial-branch=master"});
  dir_.Write("ws/config/base.json",
             "{\"system\":{\"title\":\"Fixture\",\"theme\":\"plain\",\"deployUrl\":\"" + site +
                 "\",\"sourceUrl\":\"" + source + "\"}}\n");
  fs::remove_all(dir_ / "ws/public");
  CommandResult published = Run({TARN_BINARY, "-w", ws_, "publish"}, dir_.str());
  ASSERT_EQ(published.exit_status, 0) << published.output;
  ASSERT_EQ(Backup().exit_status, 0);
  std::string first_tip = Git(site, {"rev-parse", "master"});

  std::string second = (dir_ / "second").string();
  CommandResult restore = Run({TARN_BINARY, "init", second, "--from", source}, dir_.str());
  ASSERT_EQ(restore.exit_status, 0) << restore.output;
  EXPECT_EQ(Git(second + "/public", {"rev-parse", "HEAD"}), first_tip);

  dir_.Write("second/_posts/hello.md", "written on the second computer\n");
  CommandResult again = Run({TARN_BINARY, "-w", second, "publish"}, dir_.str());
  ASSERT_EQ(again.exit_status, 0) << again.output;
  first_tip.pop_back();
  Git(site, {"merge-base", "--is-ancestor", first_tip, "master"});
  EXPECT_NE(Git(site, {"rev-parse", "master"}), first_tip + "\n");

  // Without the published site (an unreachable deploy URL) the blog is
  // still restored, and says what its first publish will do.
  fs::rename(site, dir_ / "moved.git");
  CommandResult offline =
      Run({TARN_BINARY, "init", (dir_ / "third").string(), "--from", source}, dir_.str());
  EXPECT_EQ(offline.exit_status, 0) << offline.output;
  EXPECT_NE(offline.output.find("was not fetched"), std::string::npos) << offline.output;
  EXPECT_FALSE(fs::exists(dir_ / "third/public"));
}

// A theme cloned from its author is a repository of its own, and so is a
// library in static/ not committed yet: git add alone records the first as
// a commit no clone of the backup can find and fails on the second. Their
// files go in like any others, and the restored blog builds.
TEST_F(BackupE2eTest, FoldersThatAreRepositoriesOfTheirOwnAreBackedUpAsFiles) {
  std::string remote = MakeBareRemote();
  SetSourceUrl(remote);
  const std::string theme = ws_ + "/themes/plain";
  Git(theme, {"init", "-q"});
  Git(theme, {"add", "-A"});
  Git(theme, {"commit", "-q", "-m", "the theme's own history"});
  dir_.Write("ws/themes/plain/assets/new.css", "p {}\n");
  dir_.Write("ws/static/lib/lib.js", "lib\n");
  Git(ws_ + "/static/lib", {"init", "-q"});

  CommandResult backup = Backup();
  ASSERT_EQ(backup.exit_status, 0) << backup.output;
  EXPECT_NE(backup.output.find("themes/plain holds a git repository of its own"), std::string::npos)
      << backup.output;
  std::string tree = Git(ws_, {"ls-tree", "-r", "HEAD"});
  EXPECT_EQ(tree.find("160000 commit"), std::string::npos) << tree;
  for (const char* file :
       {"themes/plain/post.mtpl", "themes/plain/assets/new.css", "static/lib/lib.js"})
    EXPECT_NE(tree.find(std::string("\t") + file + "\n"), std::string::npos) << file << tree;
  EXPECT_EQ(Git(ws_, {"status", "--porcelain"}), "");

  // From now on a change inside is one like any other; the theme's own
  // history is left alone.
  dir_.Write("ws/themes/plain/post.mtpl", "<main>{$post.content}</main>\n");
  ASSERT_EQ(Backup().exit_status, 0);
  EXPECT_EQ(Git(ws_, {"log", "-1", "--format=%s"}), "1 file changed\n");
  EXPECT_EQ(Git(theme, {"rev-list", "--count", "HEAD"}), "1\n");

  std::string second = (dir_ / "second").string();
  CommandResult restore = Run({TARN_BINARY, "init", second, "--from", remote}, dir_.str());
  ASSERT_EQ(restore.exit_status, 0) << restore.output;
  EXPECT_EQ(dir_.Read("second/themes/plain/post.mtpl"), "<main>{$post.content}</main>\n");
  CommandResult build = Run({TARN_BINARY, "-w", second, "build"}, dir_.str());
  EXPECT_EQ(build.exit_status, 0) << build.output;
}

// public, .tarn and the generated page stay out whatever they are: a link
// named public is no folder to .gitignore's "/public/", and a blog
// restored from it would build its site through the link.
TEST_F(BackupE2eTest, GeneratedPathsStayOutOfTheBackupEvenAsLinks) {
  fs::create_directories(dir_ / "outside");
  fs::remove_all(ws_ + "/public");
  fs::remove_all(ws_ + "/.tarn");
  fs::remove(ws_ + "/template/index.html");
  fs::create_directory_symlink(dir_ / "outside", ws_ + "/public");
  fs::create_directory_symlink("_posts", ws_ + "/.tarn");
  fs::create_symlink("../_posts/hello.md", ws_ + "/template/index.html");
  const std::vector<std::string> generated = {"public", ".tarn", "template/index.html"};

  ASSERT_EQ(Backup().exit_status, 0);
  std::string files = Git(ws_, {"ls-tree", "-r", "--name-only", "HEAD"});
  for (const std::string& path : generated)
    EXPECT_EQ(files.find(path + "\n"), std::string::npos) << path << " in\n" << files;

  // What an earlier backup let in goes out again.
  std::vector<std::string> add = {"add", "-f", "--"};
  add.insert(add.end(), generated.begin(), generated.end());
  Git(ws_, add);
  Git(ws_, {"commit", "-q", "-m", "let in"});
  ASSERT_EQ(Backup().exit_status, 0);
  EXPECT_EQ(Git(ws_, {"log", "-1", "--format=%s"}), "3 files deleted\n");
  EXPECT_EQ(Git(ws_, {"ls-tree", "-r", "--name-only", "HEAD"}), files);
}

// A backup that holds links out of the blog, as an old backup's public or
// a hostile template: the restore leaves them out and says so, and neither
// it nor the first build writes anything through them.
TEST_F(BackupE2eTest, RestoreLeavesOutLinksThatLeadOutOfTheBlog) {
  std::string remote = MakeBareRemote();
  SetSourceUrl(remote);
  const std::string site = (dir_ / "outside/site").string();
  const std::string pages = (dir_ / "outside/pages").string();
  fs::create_directories(site);
  fs::create_directories(pages);
  fs::remove_all(ws_ + "/public");
  fs::remove_all(ws_ + "/template");
  const std::vector<std::pair<std::string, std::string>> left_out = {
      {"public", "../outside/site"}, {"template", pages}, {"themes/up", "../../.."}};
  for (const auto& [link, target] : left_out) fs::create_symlink(target, ws_ + "/" + link);
  fs::create_directory_symlink("plain", ws_ + "/themes/same");  // inside: kept
  Git(ws_, {"init", "-q", "--initial-branch=main"});
  Git(ws_, {"add", "-A"});
  Git(ws_, {"commit", "-q", "-m", "links"});
  Git(ws_, {"push", "-q", remote, "main"});

  std::string second = (dir_ / "second").string();
  CommandResult restore = Run({TARN_BINARY, "init", second, "--from", remote}, dir_.str());
  ASSERT_EQ(restore.exit_status, 0) << restore.output;
  for (const auto& [link, target] : left_out) {
    EXPECT_NE(restore.output.find("left out of the restored blog: " + link + " (a link to " +
                                  target + ")"),
              std::string::npos)
        << restore.output;
    EXPECT_FALSE(fs::is_symlink(second + "/" + link)) << link;
  }
  EXPECT_TRUE(fs::is_symlink(second + "/themes/same"));
  EXPECT_TRUE(fs::is_regular_file(second + "/template/editor.html"));
  CommandResult build = Run({TARN_BINARY, "-w", second, "build"}, dir_.str());
  EXPECT_EQ(build.exit_status, 0) << build.output;
  EXPECT_TRUE(fs::is_empty(site));
  EXPECT_TRUE(fs::is_empty(pages));
}

// git init --bare points HEAD at master while a backup pushes main: the
// restore asks for main, and takes the remote's default branch when it
// has no main (a backup pushed by hand).
TEST_F(BackupE2eTest, RestoreTakesMainWhateverTheRemotesHeadNames) {
  SetSourceUrl("");
  ASSERT_EQ(Backup().exit_status, 0);
  const std::string head = Git(ws_, {"rev-parse", "HEAD"});
  const std::vector<std::pair<std::string, std::string>> cases = {{"master", "main"},
                                                                  {"trunk", "trunk"}};
  for (const auto& [remote_head, pushed] : cases) {
    std::string remote = (dir_ / (pushed + ".git")).string();
    fs::create_directories(remote);
    Git(remote, {"init", "-q", "--bare", "--initial-branch=" + remote_head});
    Git(ws_, {"push", "-q", remote, "main:" + pushed});
    std::string restored = (dir_ / ("from-" + pushed)).string();
    CommandResult restore = Run({TARN_BINARY, "init", restored, "--from", remote}, dir_.str());
    ASSERT_EQ(restore.exit_status, 0) << restore.output;
    EXPECT_EQ(Git(restored, {"symbolic-ref", "HEAD"}), "refs/heads/" + pushed + "\n");
    EXPECT_EQ(Git(restored, {"rev-parse", "HEAD"}), head);
  }
}

// Ctrl+C, kill or a closed terminal while the clone runs: the half made
// blog goes, nothing is left beside the target, and tarn says so and ends
// by the signal. The remote's pack hook runs inside the clone: it sends the
// signal to the tarn above it, then waits on a FIFO nobody writes to.
TEST_F(BackupE2eTest, AnInterruptedRestoreLeavesNothingBehind) {
  std::string remote = MakeBareRemote();
  SetSourceUrl(remote);
  ASSERT_EQ(Backup().exit_status, 0);
  const std::string fifo = (dir_ / "hold").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string hook = (dir_ / "hook.sh").string();
  dir_.Write("gitconfig",
             dir_.Read("gitconfig") + "[uploadpack]\n\tpackObjectsHook = " + hook + "\n");
  // What tarn inherits from here, whatever this process inherited (a
  // background job's ignored SIGINT, say).
  for (int number : {SIGINT, SIGTERM, SIGHUP}) signal(number, SIG_DFL);

  const std::string target = (dir_ / "restores/blog").string();
  fs::create_directories(dir_ / "restores");
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    dir_.Write("hook.sh",
               "#!/bin/sh\npid=$PPID\n"
               "while [ \"$(cat /proc/$pid/comm)\" != tarn ]; do\n"
               "  pid=$(cut -d' ' -f4 /proc/$pid/stat); [ \"$pid\" -gt 1 ] || exit 1\n"
               "done\nkill -" +
                   std::to_string(number) + " $pid\nread line <'" + fifo + "'\n");
    fs::permissions(hook, fs::perms::owner_exec, fs::perm_options::add);
    CommandResult restore =
        Run({TARN_BINARY, "init", target, "--from", "file://" + remote}, dir_.str());
    EXPECT_EQ(restore.exit_status, -1) << number << restore.output;  // ended by a signal
    EXPECT_NE(restore.output.find("interrupted; " + target + " is as it was"), std::string::npos)
        << restore.output;
    EXPECT_TRUE(fs::is_empty(dir_ / "restores")) << number;
    // A hook the stop has not reached yet goes on.
    int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
  }
}

// conf.ini's AutoBackup with tarn publish: a successful publish backs up
// and pushes the sources; without the switch, or for a push of public/
// alone, the workspace gets no repository and no commit.
class AutoBackupE2eTest : public BackupE2eTest {
 protected:
  CommandResult Tarn(const char* command) {
    return Run({TARN_BINARY, "-w", ws_, command}, dir_.str());
  }
  std::string Log(const std::string& repo) { return Git(repo, {"log", "--format=%s", "main"}); }
};

TEST_F(AutoBackupE2eTest, PublishBacksUpAndPushesOnlyWhenSwitchedOn) {
  std::string remote = MakeBareRemote();
  SetSourceUrl(remote);
  dir_.Write("ws/config/conf.ini", "[base]\nAutoBackup=0\n");
  CommandResult off = Tarn("publish");
  ASSERT_EQ(off.exit_status, 0) << off.output;
  EXPECT_FALSE(fs::exists(ws_ + "/.git")) << off.output;

  dir_.Write("ws/config/conf.ini", "[base]\nAutoBackup=1\n");
  CommandResult on = Tarn("publish");
  ASSERT_EQ(on.exit_status, 0) << on.output;
  EXPECT_NE(on.output.find("渲染完成\n"), std::string::npos) << on.output;
  EXPECT_NE(on.output.find("pushed to"), std::string::npos) << on.output;
  EXPECT_EQ(Log(remote), Log(ws_));
  std::string files = Git(remote, {"ls-tree", "-r", "--name-only", "main"});
  EXPECT_NE(files.find("_posts/hello.md\n"), std::string::npos) << files;
  EXPECT_EQ(files.find("public/"), std::string::npos) << files;

  // tarn push sends public/ only; the changed post waits for a publish.
  dir_.Write("ws/_posts/hello.md", "changed\n");
  CommandResult push = Tarn("push");
  EXPECT_EQ(Git(ws_, {"rev-list", "--count", "main"}), "1\n") << push.output;
  ASSERT_EQ(Tarn("publish").exit_status, 0);
  EXPECT_EQ(Git(remote, {"rev-list", "--count", "main"}), "2\n");
}

TEST_F(AutoBackupE2eTest, AFailedBackupFailsThePublishThatSucceeded) {
  SetSourceUrl(dir_.str() + "/no-such-remote.git");
  dir_.Write("ws/config/conf.ini", "[base]\nAutoBackup=1\n");
  CommandResult result = Tarn("publish");
  EXPECT_EQ(result.exit_status, 1) << result.output;
  EXPECT_NE(result.output.find("渲染完成"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("the site was published, but the backup failed"), std::string::npos)
      << result.output;
  // The local commit was made: the sources are in the history all the same.
  EXPECT_EQ(Git(ws_, {"rev-list", "--count", "main"}), "1\n");
}

}  // namespace
}  // namespace tarn
