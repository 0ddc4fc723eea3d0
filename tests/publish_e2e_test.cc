// tarn publish and tarn push end to end: the real tarn binary and the real
// git, with local bare repositories as remotes.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "deploy/command_runner.h"
#include "gtest/gtest.h"
#include "support/git_sandbox.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// "<13 digits ending in 000> TarnBlogEdit Commit" and a line break.
bool IsAutomaticMessage(const std::string& line) {
  static const std::string kTail = " TarnBlogEdit Commit\n";
  if (line.size() != 13 + kTail.size() || line.compare(13, std::string::npos, kTail) != 0 ||
      line.compare(10, 3, "000") != 0)
    return false;
  return line.find_first_not_of("0123456789") == 13;
}

// Answers every request with 401: git would ask for a user name if it could.
class PasswordServer {
 public:
  PasswordServer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), size) == 0 && listen(fd_, 8) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &size) == 0) {
      port_ = ntohs(addr.sin_port);
      thread_ = std::thread([this] { Serve(); });
    }
  }
  ~PasswordServer() {
    shutdown(fd_, SHUT_RDWR);  // wakes accept()
    close(fd_);
    if (thread_.joinable()) thread_.join();
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/site.git"; }

 private:
  void Serve() {
    static const char kReply[] =
        "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"site\"\r\n"
        "Content-Length: 0\r\nConnection: close\r\n\r\n";
    for (int client; (client = accept(fd_, nullptr, nullptr)) >= 0; close(client)) {
      std::string request;
      char buffer[4096];
      ssize_t n;
      while (request.find("\r\n\r\n") == std::string::npos &&
             (n = read(client, buffer, sizeof buffer)) > 0)
        request.append(buffer, static_cast<std::size_t>(n));
      if (write(client, kReply, sizeof kReply - 1) < 0) continue;
    }
  }

  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// A workspace copied from the fixture, with public/index.html ready, and a
// git configuration of its own: the user's ~/.gitconfig plays no part, and
// its default branch is "main" on purpose.
class DeployE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = temp_.str();
    ws_ = root_ + "/ws";
    public_ = ws_ + "/public";
    fs::copy(TARN_SOURCE_DIR "/tests/fixtures/deploy/workspace", ws_, fs::copy_options::recursive);
    fs::create_directories(ws_ + "/config");
    fs::create_directories(public_);
    WriteFile(public_ + "/index.html", "<p>first</p>\n");
    env_ = GitSandbox(temp_, "main").variables();
    env_.insert(env_.end(), {{"GIT_ASKPASS", ""}, {"SSH_ASKPASS", ""}, {"LC_ALL", "C"}});
  }

  void SetDeployUrl(const std::string& url) {
    WriteFile(ws_ + "/config/base.json",
              "{\"system\":{\"title\":\"Fixture\",\"description\":\"deploy\",\"author\":\"Tarn\","
              "\"theme\":\"plain\",\"url\":\"https://example.invalid\",\"deployUrl\":\"" +
                  url + "\"}}\n");
  }

  CommandResult Run(std::vector<std::string> argv, const std::string& dir) {
    ProgramOptions options;
    options.work_dir = dir;
    options.env = env_;
    return CommandRunner::RunProgram(argv, options);
  }

  CommandResult Tarn(const std::string& command) {
    return Run({TARN_BINARY, "-w", ws_, command}, root_);
  }

  // git's output; the test fails when git does.
  std::string Git(const std::string& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "git");
    CommandResult result = Run(args, dir);
    EXPECT_TRUE(result.succeeded()) << "git " << args[1] << ": " << result.output;
    return result.output;
  }

  std::string MakeBareRemote(const std::string& name) {
    std::string path = root_ + "/" + name + ".git";
    fs::create_directories(path);
    Git(path, {"init", "-q", "--bare", "--initial-branch=master"});
    return path;
  }

  // Someone else deploying: one more commit on the remote's master.
  void PushFromAnotherClone(const std::string& remote, const std::string& file,
                            const std::string& text) {
    std::string other = root_ + "/other";
    Git(root_, {"clone", "-q", remote, other});
    WriteFile(other + "/" + file, text);
    Git(other, {"add", file});
    Git(other, {"commit", "-q", "-m", "from the other clone"});
    Git(other, {"push", "-q", "origin", "HEAD:master"});
    fs::remove_all(other);
  }

  static bool Has(const CommandResult& r, const std::string& text) {
    return r.output.find(text) != std::string::npos;
  }

  TempDir temp_{"deploy"};
  std::string root_, ws_, public_;
  std::vector<std::pair<std::string, std::string>> env_;
};

TEST_F(DeployE2eTest, PublishThenPushBehindAnotherDeployKeepsBothHistories) {
  std::string remote = MakeBareRemote("site");
  SetDeployUrl(remote);
  CommandResult first = Tarn("publish");
  EXPECT_EQ(first.exit_status, 0) << first.output;
  EXPECT_TRUE(Has(first, "渲染完成并已经自动推送\n")) << first.output;
  // master, although this user's git would start repositories on main.
  EXPECT_EQ(Git(public_, {"symbolic-ref", "HEAD"}), "refs/heads/master\n");
  EXPECT_TRUE(IsAutomaticMessage(Git(remote, {"log", "-1", "--format=%s", "master"})));
  std::string files = Git(remote, {"ls-tree", "-r", "--name-only", "master"});
  for (const char* name : {"README.md", "index.html", "timeline.html", "atom.xml"})
    EXPECT_NE(files.find(name), std::string::npos) << name << " not in\n" << files;
  EXPECT_NE(Git(remote, {"show", "master:README.md"}).find("# Tarn Blog Editor\n"),
            std::string::npos);

  PushFromAnotherClone(remote, "other.html", "theirs\n");
  WriteFile(public_ + "/mine.html", "mine\n");
  CommandResult second = Tarn("push");
  EXPECT_EQ(second.exit_status, 0) << second.output;
  EXPECT_TRUE(Has(second, ".git is all ready\n"));
  EXPECT_TRUE(Has(second, "remote is ready\n"));
  EXPECT_TRUE(Has(second, "提交冲突，试图执行\"git pull\"用以解决\n")) << second.output;
  EXPECT_TRUE(Has(second, "推送成功\n"));
  files = Git(remote, {"ls-tree", "--name-only", "master"});
  EXPECT_NE(files.find("mine.html\nother.html\n"), std::string::npos) << files;
  std::string log = Git(remote, {"log", "--format=%s", "master"});
  EXPECT_NE(log.find("from the other clone"), std::string::npos) << log;
  EXPECT_NE(log.find("TarnBlogEdit Commit\n"), std::string::npos) << log;

  // Nothing new: the pair of pushes has nothing to do and still succeeds.
  CommandResult third = Tarn("push");
  EXPECT_EQ(third.exit_status, 0) << third.output;
  EXPECT_TRUE(Has(third, "Everything up-to-date"));
}

TEST_F(DeployE2eTest, RemoteStartedWithAReadmeOfItsOwnIsJoined) {
  std::string remote = MakeBareRemote("site");
  PushFromAnotherClone(remote, "README.md", "# made on the hosting site\n");
  SetDeployUrl(remote);
  // As from a hook of another repository: git must not be pointed there.
  std::string decoy = root_ + "/decoy";
  Git(root_, {"init", "-q", decoy});
  env_.push_back({"GIT_DIR", decoy + "/.git"});
  env_.push_back({"GIT_WORK_TREE", decoy});

  CommandResult result = Tarn("push");
  env_.resize(env_.size() - 2);
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(Git(remote, {"ls-tree", "--name-only", "master"}), "README.md\nindex.html\n");
  EXPECT_FALSE(fs::exists(decoy + "/.git/index"));
}

// A site published earlier from another install: the remote's master holds
// an index.html that public/'s history has never seen.
class EarlierSiteTest : public DeployE2eTest {
 protected:
  void SetUp() override {
    DeployE2eTest::SetUp();
    remote_ = MakeBareRemote("site");
    PushFromAnotherClone(remote_, "index.html", "<p>the old blog</p>\n");
    PushFromAnotherClone(remote_, "old-post.html", "<p>an old post</p>\n");
    old_tip_ = Tip();
    SetDeployUrl(remote_);
  }

  std::string Tip() { return Git(remote_, {"rev-parse", "master"}); }

  // The stop: nothing pushed, and both ways on named.
  void ExpectStopped(const CommandResult& result) {
    EXPECT_EQ(result.exit_status, 1) << result.output;
    EXPECT_TRUE(Has(result, "推送已停止")) << result.output;
    EXPECT_TRUE(Has(result, "tarn init DIR --from URL")) << result.output;
    EXPECT_TRUE(Has(result, "tarn push --replace")) << result.output;
    EXPECT_FALSE(Has(result, "推送成功")) << result.output;
    EXPECT_FALSE(Has(result, "自动推送")) << result.output;
    EXPECT_EQ(Tip(), old_tip_);
  }

  // Replaced: the old tip is in the new history, the files are public/'s.
  void ExpectReplaced() {
    CommandResult ancestor =
        Run({"git", "merge-base", "--is-ancestor", Trim(old_tip_), "master"}, remote_);
    EXPECT_TRUE(ancestor.succeeded()) << ancestor.output;
    EXPECT_EQ(Git(remote_, {"rev-parse", "master^{tree}"}),
              Git(public_, {"rev-parse", "HEAD^{tree}"}));
    EXPECT_EQ(Git(remote_, {"show", "master:index.html"}), ReadFile(public_ + "/index.html"));
    EXPECT_EQ(Git(remote_, {"show", Trim(old_tip_) + ":old-post.html"}), "<p>an old post</p>\n");
  }

  static std::string Trim(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

  std::string remote_, old_tip_;
};

TEST_F(EarlierSiteTest, AnEmptyPublicFolderPushesNothingEvenWithReplace) {
  fs::remove(public_ + "/index.html");
  CommandResult result = Run({TARN_BINARY, "-w", ws_, "push", "--replace"}, root_);
  EXPECT_EQ(result.exit_status, 1) << result.output;
  EXPECT_TRUE(Has(result, "推送失败，请查看控制台输出\n")) << result.output;
  EXPECT_TRUE(Has(result, "src refspec master does not match any")) << result.output;
  EXPECT_EQ(Tip(), old_tip_);
  // The old site was not brought into public/ either.
  EXPECT_FALSE(fs::exists(public_ + "/old-post.html"));
}

TEST_F(EarlierSiteTest, PushStopsAndReplaceJoinsTheHistoryWithoutForce) {
  ExpectStopped(Tarn("push"));

  CommandResult replaced = Run({TARN_BINARY, "-w", ws_, "push", "--replace"}, root_);
  EXPECT_EQ(replaced.exit_status, 0) << replaced.output;
  EXPECT_TRUE(Has(replaced, "推送成功\n")) << replaced.output;
  EXPECT_FALSE(Has(replaced, "forced update")) << replaced.output;
  ExpectReplaced();

  // From now on the histories are one: a plain push goes through.
  WriteFile(public_ + "/index.html", "<p>newer</p>\n");
  CommandResult next = Tarn("push");
  EXPECT_EQ(next.exit_status, 0) << next.output;
  EXPECT_EQ(Git(remote_, {"show", "master:index.html"}), "<p>newer</p>\n");
}

TEST_F(EarlierSiteTest, PublishBuildsThenStopsAndReplaceKeepsTheOldSite) {
  CommandResult stopped = Tarn("publish");
  ExpectStopped(stopped);
  EXPECT_TRUE(Has(stopped, "渲染完成，但推送已停止")) << stopped.output;
  EXPECT_TRUE(fs::exists(public_ + "/timeline.html"));

  CommandResult replaced = Run({TARN_BINARY, "-w", ws_, "publish", "--replace"}, root_);
  EXPECT_EQ(replaced.exit_status, 0) << replaced.output;
  EXPECT_TRUE(Has(replaced, "渲染完成并已经自动推送\n")) << replaced.output;
  ExpectReplaced();
  EXPECT_EQ(Git(remote_, {"ls-tree", "--name-only", "master", "old-post.html"}), "");
}

TEST_F(DeployE2eTest, RemotesWithoutAnEarlierSiteOfTheirOwnArePushedToAsBefore) {
  // Only a licence: no site to keep apart.
  std::string licensed = MakeBareRemote("licensed");
  PushFromAnotherClone(licensed, "LICENSE", "MIT\n");
  SetDeployUrl(licensed);
  CommandResult result = Tarn("push");
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(Git(licensed, {"ls-tree", "--name-only", "master"}), "LICENSE\nindex.html\n");

  // A site that shares public/'s history and moved on from another copy:
  // even with --replace it is merged, not replaced, so nothing is lost.
  PushFromAnotherClone(licensed, "index.html", "<p>from elsewhere</p>\n");
  WriteFile(public_ + "/mine.html", "mine\n");
  result = Run({TARN_BINARY, "-w", ws_, "push", "--replace"}, root_);
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(Git(licensed, {"show", "master:index.html"}), "<p>from elsewhere</p>\n");
  EXPECT_EQ(Git(licensed, {"ls-tree", "--name-only", "master"}),
            "LICENSE\nindex.html\nmine.html\n");
}

TEST_F(DeployE2eTest, ConflictingRemoteChangeIsAnErrorAndLeavesTheWorkTreeClean) {
  std::string remote = MakeBareRemote("site");
  SetDeployUrl(remote);
  ASSERT_EQ(Tarn("push").exit_status, 0);
  PushFromAnotherClone(remote, "index.html", "<p>theirs</p>\n");
  WriteFile(public_ + "/index.html", "<p>ours</p>\n");

  CommandResult result = Tarn("push");
  EXPECT_EQ(result.exit_status, 1) << result.output;
  EXPECT_TRUE(Has(result, "推送失败，请查看控制台输出\n")) << result.output;
  EXPECT_FALSE(Has(result, "推送成功"));
  EXPECT_EQ(Git(public_, {"status", "--porcelain"}), "");
  EXPECT_EQ(ReadFile(public_ + "/index.html"), "<p>ours</p>\n");
}

TEST_F(DeployE2eTest, RemotesThatCannotBeReachedFailWithGitsOwnWords) {
  PasswordServer server;
  const std::string shelly = "x;touch${IFS}owned1;$(touch${IFS}owned2);`touch${IFS}owned3`";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {root_ + "/missing.git", "does not appear to be a git repository"},
      {server.url(), "terminal prompts disabled"},  // no prompt, no hang
      {shelly, "does not appear to be a git repository"},
      {"--mirror=push", "strange pathname"}};  // an option in disguise
  for (const auto& [url, says] : cases) {
    fs::remove_all(public_ + "/.git");
    SetDeployUrl(url);
    CommandResult result = Tarn("push");
    EXPECT_EQ(result.exit_status, 1) << url;
    EXPECT_TRUE(Has(result, says)) << result.output;
    EXPECT_TRUE(Has(result, "推送失败，请查看控制台输出\n")) << result.output;
    EXPECT_EQ(Git(public_, {"remote", "get-url", "origin"}), url + "\n");
  }
  for (const auto& entry : fs::recursive_directory_iterator(root_))
    EXPECT_NE(entry.path().filename().string().rfind("owned", 0), 0u) << entry.path();
}

// The password or token of an address shows in no message of tarn's and
// no line of git's output that tarn passes on (git remote -v's included),
// whichever command is given the address.
TEST_F(DeployE2eTest, PasswordsAndTokensInAddressesNeverShow) {
  PasswordServer server;
  const std::string address = server.url().substr(std::string("http://").size());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"http://ann:s3cret@" + address, "http://ann:***@" + address},
      {"http://T0KEN-s3cret@" + address, "http://***@" + address}};
  for (const auto& [url, shown] : cases) {
    WriteFile(ws_ + "/config/base.json",
              "{\"system\":{\"title\":\"Fixture\",\"theme\":\"plain\","
              "\"deployUrl\":\"" +
                  url + "\",\"sourceUrl\":\"" + url + "\"}}\n");
    std::string seen;
    // The second push finds origin set by the first and lists it.
    for (const char* command : {"push", "push", "publish", "backup"}) seen += Tarn(command).output;
    seen += Run({TARN_BINARY, "init", root_ + "/restored", "--from", url}, root_).output;
    EXPECT_EQ(seen.find("s3cret"), std::string::npos) << seen;
    EXPECT_NE(seen.find(shown), std::string::npos) << seen;
  }
}

TEST_F(DeployE2eTest, AChangedDeployUrlMovesOriginAndThePushGoesThere) {
  std::string first = MakeBareRemote("first");
  std::string second = MakeBareRemote("second");
  SetDeployUrl(first);
  CommandResult result = Tarn("push");
  ASSERT_EQ(result.exit_status, 0) << result.output;

  // Unchanged: origin is ready as it is.
  WriteFile(public_ + "/index.html", "<p>second</p>\n");
  result = Tarn("push");
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_TRUE(Has(result, "remote is ready\n"));
  EXPECT_EQ(Git(first, {"rev-list", "--count", "master"}), "2\n");

  SetDeployUrl(second);
  WriteFile(public_ + "/index.html", "<p>third</p>\n");
  result = Tarn("push");
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_TRUE(Has(result, "origin pointed at " + first + "; it now points at " + second))
      << result.output;
  EXPECT_EQ(Git(public_, {"config", "remote.origin.url"}), second + "\n");
  EXPECT_EQ(Git(second, {"rev-list", "--count", "master"}), "3\n");
  EXPECT_EQ(Git(first, {"rev-list", "--count", "master"}), "2\n");
}

TEST_F(DeployE2eTest, OtherRemotesAreLeftAloneAndOriginIsAdded) {
  std::string mirror = MakeBareRemote("mirror");
  std::string deploy = MakeBareRemote("deploy");
  Git(public_, {"init", "-q", "--initial-branch=master"});
  Git(public_, {"remote", "add", "mirror", mirror});
  SetDeployUrl(deploy);

  CommandResult result = Tarn("push");
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_TRUE(Has(result, ".git is all ready\n"));
  EXPECT_EQ(Git(deploy, {"rev-list", "--count", "master"}), "1\n");
  EXPECT_EQ(Git(public_, {"config", "remote.mirror.url"}), mirror + "\n");
  EXPECT_EQ(Git(mirror, {"for-each-ref"}), "");
}

TEST_F(DeployE2eTest, WithoutADeployUrlPushCommitsAndRefusesAndPublishOnlyRenders) {
  SetDeployUrl("");
  CommandResult push = Tarn("push");
  EXPECT_EQ(push.exit_status, 1);
  EXPECT_TRUE(Has(push, "推送地址未设置，无法推送\n")) << push.output;
  EXPECT_TRUE(IsAutomaticMessage(Git(public_, {"log", "-1", "--format=%s"})));

  CommandResult publish = Tarn("publish");
  EXPECT_EQ(publish.exit_status, 0) << publish.output;
  EXPECT_TRUE(Has(publish, "渲染完成\n")) << publish.output;
  EXPECT_TRUE(fs::exists(public_ + "/README.md"));
}

// The check between the build and the push: errors stop the publish before
// anything is committed, --force-check goes on, and a site with warnings
// alone (this fixture's pages have no description) publishes as before,
// leaving public/ as the build wrote it.
TEST_F(DeployE2eTest, PublishStopsOnTheCheckErrorsUnlessForced) {
  std::string remote = MakeBareRemote("site");
  SetDeployUrl(remote);
  WriteFile(ws_ + "/_posts/broken.md", "<a href=\"gone.html\">gone</a>\n");
  CommandResult stopped = Tarn("publish");
  EXPECT_EQ(stopped.exit_status, 1) << stopped.output;
  EXPECT_TRUE(Has(stopped,
                  "public/articles/broken.html (from _posts/broken.md):\n  error: line 2: the "
                  "link \"gone.html\" leads to public/articles/gone.html"))
      << stopped.output;
  EXPECT_TRUE(Has(stopped,
                  "nothing was committed or pushed. Fix them, or publish anyway with "
                  "--force-check\n"))
      << stopped.output;
  EXPECT_FALSE(Has(stopped, "渲染")) << stopped.output;
  EXPECT_NE(Run({"git", "rev-parse", "-q", "--verify", "HEAD"}, public_).exit_status, 0);
  EXPECT_EQ(Git(remote, {"rev-list", "--all"}), "");

  CommandResult forced = Run({TARN_BINARY, "-w", ws_, "publish", "--force-check"}, root_);
  EXPECT_EQ(forced.exit_status, 0) << forced.output;
  EXPECT_TRUE(Has(forced, "publishing despite 1 error(s) (--force-check)\n")) << forced.output;
  EXPECT_TRUE(Has(forced, "渲染完成并已经自动推送\n")) << forced.output;
  EXPECT_NE(Git(remote, {"ls-tree", "-r", "--name-only", "master"}).find("articles/broken.html"),
            std::string::npos);

  fs::remove(ws_ + "/_posts/broken.md");
  CommandResult clean = Tarn("publish");
  EXPECT_EQ(clean.exit_status, 0) << clean.output;
  EXPECT_TRUE(Has(clean, "渲染完成并已经自动推送\n")) << clean.output;
  EXPECT_FALSE(Has(clean, "error")) << clean.output;
  // What was pushed is what the build wrote: nothing was left out or added.
  EXPECT_EQ(Git(public_, {"status", "--porcelain"}), "");
  EXPECT_EQ(Git(public_, {"rev-parse", "HEAD^{tree}"}),
            Git(remote, {"rev-parse", "master^{tree}"}));
}

TEST_F(DeployE2eTest, DraftsNeverReachTheRemote) {
  std::string remote = MakeBareRemote("site");
  SetDeployUrl(remote);
  WriteFile(ws_ + "/_posts/secret.md",
            "---\ntitle: Secret Plans\ndraft: true\naliases: [/old/secret/]\n---\nShh.\n");
  // A look at the drafts in public/, then a push: refused, nothing committed.
  CommandResult built = Run({TARN_BINARY, "-w", ws_, "build", "--drafts"}, root_);
  ASSERT_EQ(built.exit_status, 0) << built.output;
  ASSERT_TRUE(fs::exists(public_ + "/old/secret/index.html"));
  CommandResult push = Tarn("push");
  EXPECT_EQ(push.exit_status, 1) << push.output;
  EXPECT_TRUE(Has(push, "推送已停止：public/ 是连同草稿一起渲染的")) << push.output;
  EXPECT_NE(Run({"git", "rev-parse", "-q", "--verify", "HEAD"}, public_).exit_status, 0);
  EXPECT_EQ(Git(remote, {"for-each-ref"}), "");

  // Publishing builds without them: neither the article nor its alias page
  // (which holds the title) goes out; pushing works again.
  CommandResult publish = Tarn("publish");
  EXPECT_EQ(publish.exit_status, 0) << publish.output;
  std::string files = Git(remote, {"ls-tree", "-r", "--name-only", "master"});
  EXPECT_NE(files.find("index.html"), std::string::npos) << files;
  EXPECT_EQ(files.find("secret"), std::string::npos) << files;
  EXPECT_EQ(Run({"git", "grep", "-q", "Secret Plans", "master"}, remote).exit_status, 1);
  EXPECT_FALSE(fs::exists(public_ + "/old"));
  EXPECT_EQ(Tarn("push").exit_status, 0);
}

TEST_F(DeployE2eTest, ScheduledPostsReachTheRemoteOnlyWhenDue) {
  std::string remote = MakeBareRemote("site");
  SetDeployUrl(remote);
  WriteFile(ws_ + "/_posts/later.md", "---\ntitle: Sunrise\ndate: 2026-06-01T07:00:00Z\n---\nx\n");
  env_.push_back({"TARN_NOW", "2026-05-01T00:00:00Z"});
  // A look at the site as it will be, then a push: refused, nothing committed.
  CommandResult built = Run({TARN_BINARY, "-w", ws_, "build", "--future"}, root_);
  ASSERT_EQ(built.exit_status, 0) << built.output;
  ASSERT_TRUE(fs::exists(public_ + "/articles/later.html"));
  CommandResult push = Tarn("push");
  EXPECT_EQ(push.exit_status, 1) << push.output;
  EXPECT_TRUE(Has(push, "push stopped: public/ was built with the posts dated later"))
      << push.output;
  EXPECT_EQ(Git(remote, {"for-each-ref"}), "");

  // Publishing builds without it, until its date.
  EXPECT_EQ(Tarn("publish").exit_status, 0);
  EXPECT_EQ(Run({"git", "grep", "-q", "Sunrise", "master"}, remote).exit_status, 1);
  EXPECT_EQ(Tarn("push").exit_status, 0);
  env_.back().second = "2026-06-01T07:00:00Z";
  EXPECT_EQ(Tarn("publish").exit_status, 0);
  EXPECT_EQ(Run({"git", "grep", "-q", "Sunrise", "master"}, remote).exit_status, 0);
}

TEST_F(DeployE2eTest, APublicFolderThatIsALinkIsNeitherWrittenNorPushed) {
  std::string remote = MakeBareRemote("site");
  SetDeployUrl(remote);
  const std::string outside = root_ + "/outside";
  fs::create_directories(outside);
  fs::remove_all(public_);
  fs::create_directory_symlink(outside, public_);
  for (const char* command : {"publish", "push"}) {
    CommandResult result = Tarn(command);
    EXPECT_EQ(result.exit_status, 1) << command << ": " << result.output;
    EXPECT_TRUE(Has(result, "is a symbolic link")) << command << ": " << result.output;
  }
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(Git(remote, {"for-each-ref"}), "");
}

TEST_F(DeployE2eTest, FailedBuildOrCommitPublishesNothing) {
  std::string remote = MakeBareRemote("site");
  SetDeployUrl(remote);
  fs::rename(ws_ + "/themes/plain/index.mtpl", root_ + "/index.mtpl");
  CommandResult result = Tarn("publish");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_TRUE(Has(result, "渲染出错，请确认文件是否完整\n")) << result.output;

  // No git identity: the commit fails, and that is no success either.
  fs::rename(root_ + "/index.mtpl", ws_ + "/themes/plain/index.mtpl");
  WriteFile(root_ + "/gitconfig", "[user]\n\tuseConfigOnly = true\n");
  for (auto& [name, value] : env_)
    if (name.find("_NAME") != std::string::npos || name.find("_EMAIL") != std::string::npos)
      value = "";
  result = Tarn("publish");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_TRUE(Has(result, "渲染完成，但推送失败，请查看控制台输出\n")) << result.output;
  EXPECT_EQ(Git(remote, {"for-each-ref"}), "");
}

}  // namespace
}  // namespace tarn
