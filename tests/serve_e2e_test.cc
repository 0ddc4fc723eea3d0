// tarn serve on a fixture workspace: the real binary on a free port, asked
// over plain sockets (so that request paths go out exactly as written).

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "data/text_file.h"
#include "support/test_photo.h"
#include "support/workspace_test.h"

extern char** environ;

namespace tarn {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Only keeps a broken server from hanging the suite; nothing is timed.
constexpr auto kGuard = std::chrono::seconds(60);

struct Response {
  int status = 0;
  std::string headers;  // lower-cased
  std::string body;
};

int Connect(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void Send(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    ssize_t n = write(fd, text.data() + sent, text.size() - sent);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

// Reads from fd until needle appears at or after from (or, with an empty
// needle, until the end). Returns already and what was read.
std::string ReadUntil(int fd, const std::string& needle, std::string already = "",
                      size_t from = 0) {
  std::string text = std::move(already);
  auto deadline = Clock::now() + kGuard;
  while (Clock::now() < deadline) {
    if (!needle.empty() && text.find(needle, from) != std::string::npos) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char buffer[8192];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

Response Request(int port, const std::string& method, const std::string& path) {
  Response response;
  int fd = Connect(port);
  if (fd < 0) return response;
  Send(fd, method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  std::string text = ReadUntil(fd, "");
  close(fd);
  size_t end = text.find("\r\n\r\n");
  if (text.rfind("HTTP/1.", 0) != 0 || end == std::string::npos) return response;
  response.status = std::atoi(text.c_str() + 9);
  response.headers = text.substr(0, end);
  for (char& c : response.headers)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  response.body = text.substr(end + 4);
  return response;
}

Response Get(int port, const std::string& path) { return Request(port, "GET", path); }

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

// The id of the site a served page came from, as its reload script says.
std::string SiteId(const std::string& page) {
  size_t at = page.find("var site = \"");
  if (at == std::string::npos) return "";
  at += 12;
  return page.substr(at, page.find('"', at) - at);
}

// A reload stream, opened as a served page opens it.
class Stream {
 public:
  Stream(int port, const std::string& site) : fd_(Connect(port)) {
    Send(fd_, "GET /__tarn/events?site=" + site + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    text_ = ReadUntil(fd_, "retry:");
  }
  ~Stream() {
    if (fd_ >= 0) close(fd_);
  }
  // Waits for the next event of that name; returns everything read so far.
  std::string WaitFor(const std::string& name) {
    std::string needle = "event: " + name + "\n";
    text_ = ReadUntil(fd_, needle, text_, seen_);
    size_t at = text_.find(needle, seen_);
    seen_ = at == std::string::npos ? text_.size() : at + needle.size();
    return text_;
  }
  const std::string& text() const { return text_; }

 private:
  int fd_;
  std::string text_;
  size_t seen_ = 0;
};

class ServeCommandTest : public WorkspaceTest {
 protected:
  ServeCommandTest() : WorkspaceTest("tests/fixtures/serve/blog") {}
  void TearDown() override {
    if (pid_ > 0) Stop();
    WorkspaceTest::TearDown();
  }

  // Starts tarn serve and waits for the address it prints.
  // Stops tarn serve, once it said it serves the site with extras ("...
  // its drafts at ") and leaves public/ alone, and checks that it did.
  void ExpectPublicLeftAlone(const std::string& says) {
    // Until public/ has been brought up to date, or is said to be left alone.
    out_ = ReadUntil(out_fd_, "public/", out_);
    EXPECT_EQ(Stop(), 0);
    EXPECT_TRUE(Contains(out_, says)) << out_;
    EXPECT_TRUE(Contains(out_, "public/ is left as it is")) << out_;
    std::vector<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(ws_ + "/public"))
      written.push_back(entry.path().string());
    EXPECT_EQ(written, std::vector<std::string>{});
    EXPECT_FALSE(Exists(".tarn/public-build"));
  }

  void Start(std::vector<std::string> extra = {"--port", "0"}) {
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string err_path = tmp_ + "/err";
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> args = {TARN_BINARY, "-w", ws_, "serve"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&pid_, TARN_BINARY, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_fd_ = out[0];
    out_ = ReadUntil(out_fd_, "/ (Ctrl+C");
    size_t at = out_.find("http://127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << out_ << Err();
    port_ = std::atoi(out_.c_str() + at + 17);
    ASSERT_GT(port_, 0);
  }

  // Ends the server with SIGINT, as Ctrl+C does; returns its exit status.
  int Stop() {
    kill(pid_, SIGINT);
    int raw = 0;
    auto deadline = Clock::now() + kGuard;
    while (waitpid(pid_, &raw, WNOHANG) == 0 && Clock::now() < deadline) usleep(10000);
    if (Clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &raw, 0);
    }
    pid_ = -1;
    out_ = ReadUntil(out_fd_, "", out_);
    close(out_fd_);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  std::string Err() {
    std::string text;
    ReadTextFile(tmp_ + "/err", &text);
    return text;
  }
  // The file's text once it holds needle: public/ is brought up to date
  // just after open pages are told to reload.
  std::string WaitForFile(const std::string& relative, const std::string& needle) {
    std::string text;
    auto deadline = Clock::now() + kGuard;
    while (ReadTextFile(ws_ + "/" + relative, &text), !Contains(text, needle)) {
      if (Clock::now() > deadline) break;
      usleep(20000);
    }
    return text;
  }
  std::string out_;
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int port_ = 0;
};

TEST_F(ServeCommandTest, ServesTheSiteWithTheReloadScriptInjected) {
  Start();
  Response index = Get(port_, "/");
  EXPECT_EQ(index.status, 200);
  EXPECT_TRUE(Contains(index.headers, "content-type: text/html; charset=utf-8")) << index.headers;
  EXPECT_TRUE(Contains(index.body, "<h1>Preview Blog</h1>"));
  size_t script = index.body.find("<script data-tarn-serve>");
  ASSERT_NE(script, std::string::npos);
  EXPECT_LT(script, index.body.rfind("</body>"));
  EXPECT_FALSE(SiteId(index.body).empty());
  // Injected into answers only, never into the files.
  std::string on_disk = WaitForFile("public/index.html", "<h1>Preview Blog</h1>");
  EXPECT_TRUE(Contains(on_disk, "<h1>Preview Blog</h1>"));
  EXPECT_FALSE(Contains(on_disk, "data-tarn-serve"));

  Response article = Get(port_, "/articles/%E4%BD%A0%E5%A5%BD.html");
  EXPECT_EQ(article.status, 200);
  EXPECT_TRUE(Contains(article.body, "<p>第一篇。</p>"));

  struct Typed {
    const char* path;
    const char* type;
  };
  for (const Typed& t : {Typed{"/assets/css/site.css", "text/css; charset=utf-8"},
                         Typed{"/atom.xml", "application/xml; charset=utf-8"},
                         Typed{"/database.json", "application/json; charset=utf-8"}}) {
    Response r = Get(port_, t.path);
    EXPECT_EQ(r.status, 200) << t.path;
    EXPECT_TRUE(Contains(r.headers, std::string("content-type: ") + t.type)) << r.headers;
    EXPECT_FALSE(Contains(r.body, "data-tarn-serve")) << t.path;
  }

  Response folder = Get(port_, "/articles");
  EXPECT_EQ(folder.status, 301);
  EXPECT_TRUE(Contains(folder.headers, "location: /articles/"));
  Response listing = Get(port_, "/articles/");
  EXPECT_EQ(listing.status, 200);
  EXPECT_TRUE(Contains(listing.body, "<a href=\"Hello.html\">Hello.html</a>")) << listing.body;

  Response missing = Get(port_, "/nothing.html");
  EXPECT_EQ(missing.status, 404);
  EXPECT_TRUE(Contains(missing.body, "404 Not Found"));
  EXPECT_TRUE(Contains(missing.body, "data-tarn-serve"));  // reloads once the page exists
  EXPECT_EQ(Request(port_, "POST", "/index.html").status, 405);
  EXPECT_EQ(Request(port_, "HEAD", "/index.html").status, 200);
}

TEST_F(ServeCommandTest, EditsShowInTheNextResponseAndReachOpenPages) {
  Start();
  std::string site = SiteId(Get(port_, "/articles/Hello.html").body);
  Stream stream(port_, site);
  EXPECT_FALSE(Contains(stream.text(), "event:")) << stream.text();  // the page is current

  Put("_posts/Hello.md", "----------\ntitle|Hello|2020\n----------\nSecond words.\n");
  stream.WaitFor("reload");
  Response article = Get(port_, "/articles/Hello.html");
  EXPECT_TRUE(Contains(article.body, "<p>Second words.</p>")) << article.body;
  EXPECT_NE(SiteId(article.body), site);
  // public/ keeps up, as tarn build would have left it.
  EXPECT_TRUE(
      Contains(WaitForFile("public/articles/Hello.html", "Second words."), "<p>Second words.</p>"));

  // A page served from the old site that connects late reloads at once.
  Stream late(port_, site);
  EXPECT_TRUE(Contains(late.WaitFor("reload"), "event: reload"));

  // The site data is read again for each rebuild, and new posts appear.
  std::string base;
  ASSERT_TRUE(ReadTextFile(ws_ + "/config/base.json", &base));
  base.replace(base.find("Preview Blog"), 12, "Renamed Blog");
  Put("config/base.json", base);
  Put("_posts/Third.md", "----------\ntitle|Third|2021\n----------\nMore.\n");
  stream.WaitFor("reload");
  Response index = Get(port_, "/");
  EXPECT_TRUE(Contains(index.body, "<h1>Renamed Blog</h1>")) << index.body;
  EXPECT_TRUE(Contains(index.body, ">Third</a>")) << index.body;
  EXPECT_EQ(Stop(), 0);
}

// A page of _pages/ made or edited while serving is built and reloads
// open pages, as a post does.
TEST_F(ServeCommandTest, PagesAreRebuiltWhenTheyChange) {
  Start();
  std::string site = SiteId(Get(port_, "/").body);
  Stream stream(port_, site);
  Put("_pages/about.md", "---\ntitle: About\n---\nFirst words.\n");
  stream.WaitFor("reload");
  EXPECT_TRUE(Contains(Get(port_, "/about/").body, "<p>First words.</p>"));
  site = SiteId(Get(port_, "/about/").body);
  Stream again(port_, site);
  Put("_pages/about.md", "---\ntitle: About\n---\nSecond words.\n");
  again.WaitFor("reload");
  EXPECT_TRUE(Contains(Get(port_, "/about/").body, "<p>Second words.</p>"));
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServeCommandTest, DraftsArePreviewedButNeverWrittenWherePushReads) {
  Put("_posts/Secret.md", "---\ndraft: true\naliases: [/old/secret/]\n---\nSecret words.\n");
  Start({"--port", "0", "--drafts"});
  EXPECT_TRUE(Contains(Get(port_, "/articles/Secret.html").body, "Secret words."));
  EXPECT_EQ(Get(port_, "/old/secret/").status, 200);
  ExpectPublicLeftAlone("serving the site with its drafts at ");
}

TEST_F(ServeCommandTest, ScheduledPostsArePreviewedButNeverWrittenWherePushReads) {
  Put("_posts/Later.md", "---\ndate: 2999-01-01\n---\nLater words.\n");
  Start({"--port", "0", "--future"});
  EXPECT_TRUE(Contains(Get(port_, "/articles/Later.html").body, "Later words."));
  ExpectPublicLeftAlone("serving the site with its scheduled posts at ");
}

TEST_F(ServeCommandTest, RequestsNeverLeaveThePublicFolder) {
  // Links the blogger (or a theme) left in public/: one leading out, one
  // inside.
  fs::create_directories(ws_ + "/public");
  fs::create_symlink(ws_ + "/config/base.json", ws_ + "/public/leak.json");
  fs::create_symlink(ws_ + "/config", ws_ + "/public/conf");
  fs::create_symlink("index.html", ws_ + "/public/home.html");
  Start();
  for (const char* path :
       {"/../config/base.json", "/articles/../../config/base.json", "/%2e%2e/config/base.json",
        "/%2E%2E%2Fconfig%2Fbase.json", "/articles/%2e%2e/%2e%2e/config/base.json",
        "/..%2fconfig/base.json", "/.%2e/config/base.json", "/leak.json", "/conf/base.json",
        "/conf/", "/%00index.html"}) {
    Response r = Get(port_, path);
    EXPECT_TRUE(r.status == 404 || r.status == 403 || r.status == 400) << path << " " << r.status;
    EXPECT_FALSE(Contains(r.body, "deployUrl")) << path;
  }
  EXPECT_EQ(Get(port_, "/leak.json").status, 403);
  Response inside = Get(port_, "/home.html");
  EXPECT_EQ(inside.status, 200);
  EXPECT_TRUE(Contains(inside.body, "<h1>Preview Blog</h1>"));
}

TEST_F(ServeCommandTest, AddressesAreDecodedOnceAsAStaticServerDoes) {
  // A "%" in a file name, and a tag with a "/" whose page folder is "x%2Fy".
  Put("static/100%.txt", "one hundred percent");
  Put("static/100%25.txt", "a name with an escape in it");
  Put("themes/plain/tag.mtpl", "<h1>tag {$tag.name}</h1>");
  Put("_posts/tagged.md", "---\ntags: [x/y]\n---\nTagged.\n");
  Start();
  struct Case {
    const char* path;
    int status;
    const char* body;
  };
  for (const Case& c : {Case{"/100%25.txt", 200, "one hundred percent"},
                        Case{"/100%2525.txt", 200, "a name with an escape in it"},
                        Case{"/tags/x%252Fy/index.html", 200, "<h1>tag x/y</h1>"},
                        Case{"/tags/x%252Fy/", 200, "<h1>tag x/y</h1>"},
                        Case{"/tags/x%2Fy/index.html", 404, "/tags/x/y/index.html"}}) {
    Response r = Get(port_, c.path);
    EXPECT_EQ(r.status, c.status) << c.path;
    EXPECT_TRUE(Contains(r.body, c.body)) << c.path << ": " << r.body;
  }
}

TEST_F(ServeCommandTest, PhotosAreServedWithoutWhereTheyWereTaken) {
  // The preview shares the build: what a push would publish.
  TestPhoto::MakeCameraJpeg(ws_ + "/static/images/lake.jpg", 300, 200);
  Start();
  Response r = Get(port_, "/images/lake.jpg");
  ASSERT_EQ(r.status, 200);
  std::string error;
  ASSERT_TRUE(WriteTextFile(tmp_ + "/served.jpg", r.body, &error)) << error;
  std::map<std::string, std::string> tags = TestPhoto::Metadata(tmp_ + "/served.jpg");
  EXPECT_EQ(tags.count("GPSLatitude"), 0u);
  EXPECT_EQ(tags["Orientation"], "Rotate 90 CW");
}

TEST_F(ServeCommandTest, ABrokenTemplateKeepsTheLastGoodSiteAndSaysWhy) {
  Start();
  std::string site = SiteId(Get(port_, "/").body);
  Stream stream(port_, site);
  std::string good;
  ASSERT_TRUE(ReadTextFile(ws_ + "/themes/plain/index.mtpl", &good));
  Put("themes/plain/index.mtpl", "{-extend name=\"./missing-layout.mtpl\"}\n");
  std::string events = stream.WaitFor("failure");
  EXPECT_TRUE(Contains(events, "missing-layout.mtpl")) << events;

  Response index = Get(port_, "/");
  EXPECT_EQ(index.status, 200);
  EXPECT_TRUE(Contains(index.body, "<h1>Preview Blog</h1>"));
  EXPECT_EQ(SiteId(index.body), site);
  std::string on_disk;
  ASSERT_TRUE(ReadTextFile(ws_ + "/public/index.html", &on_disk));
  EXPECT_TRUE(Contains(on_disk, "<h1>Preview Blog</h1>"));  // untouched by the failed build
  // A page opened now learns of the failure as soon as it connects.
  Stream later(port_, site);
  EXPECT_TRUE(Contains(later.WaitFor("failure"), "missing-layout.mtpl"));
  EXPECT_TRUE(Contains(Err(), "missing-layout.mtpl")) << Err();

  Put("themes/plain/index.mtpl", good);
  stream.WaitFor("reload");

  // A build that succeeds but reports problems serves the new site and
  // shows them on the reloaded pages.
  Put("themes/plain/post.mtpl", "{-extend name=\"./nowhere.mtpl\"}\n");
  stream.WaitFor("reload");
  Stream reloaded(port_, SiteId(Get(port_, "/").body));
  EXPECT_TRUE(Contains(reloaded.WaitFor("notice"), "nowhere.mtpl")) << reloaded.text();
  EXPECT_EQ(Stop(), 0);
  EXPECT_TRUE(Contains(out_, "rebuilt")) << out_;
}

TEST_F(ServeCommandTest, AFirstBuildThatFailsIsShownUntilFixed) {
  std::string good;
  ASSERT_TRUE(ReadTextFile(ws_ + "/config/base.json", &good));
  Put("config/base.json", "{ \"system\": { \"title\": \"Preview Blog\", }\n");
  Start();
  Response page = Get(port_, "/");
  EXPECT_EQ(page.status, 503);
  EXPECT_TRUE(Contains(page.body, "base.json")) << page.body;
  Stream stream(port_, SiteId(page.body));
  Put("config/base.json", good);
  stream.WaitFor("reload");
  EXPECT_EQ(Get(port_, "/").status, 200);
}

TEST_F(ServeCommandTest, CtrlCStopsCleanlyAndBadArgumentsAreRefused) {
  Start();
  Stream stream(port_, "x");  // an open stream does not hold the exit up
  EXPECT_EQ(Stop(), 0);
  EXPECT_TRUE(Contains(out_, "stopping")) << out_;

  std::string command = "'" + std::string(TARN_BINARY) + "' -w '" + ws_ + "' serve ";
  auto status = [](const std::string& line) {
    int raw = std::system((line + " >/dev/null 2>&1").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  EXPECT_EQ(status(command + "--port"), 2);
  EXPECT_EQ(status(command + "--port 65536"), 2);
  EXPECT_EQ(status(command + "--port x1"), 2);
  EXPECT_EQ(status(command + "extra"), 2);
  EXPECT_EQ(status("'" + std::string(TARN_BINARY) + "' -w '" + tmp_ + "/none' serve"), 1);
}

TEST_F(ServeCommandTest, ATakenPortIsReported) {
  Start();
  std::string command = "'" + std::string(TARN_BINARY) + "' -w '" + ws_ + "' serve --port " +
                        std::to_string(port_) + " 2>'" + tmp_ + "/err2' >/dev/null";
  int raw = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
  std::string err;
  ReadTextFile(tmp_ + "/err2", &err);
  EXPECT_TRUE(Contains(err, "127.0.0.1:" + std::to_string(port_))) << err;
}

}  // namespace
}  // namespace tarn
