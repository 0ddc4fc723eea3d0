// How soon an edited post shows in the browser: tarn serve against hugo
// server, each on a generated site of POSTS posts (default 1,000).
//
// For each run one post is rewritten on disk with a new marker; the clock
// stops when the server's page for that post holds the marker (polled over
// HTTP every 2 ms, the same for both servers). For tarn the arrival of the
// reload event on an open page's stream is timed too: that is the moment an
// open page reloads itself. tarn uses the bundled workspace (lake theme,
// markdown-it through the headless script host); hugo a minimal theme.
//
//   cmake --build build --target bench_serve && build/bench/bench_serve [POSTS] [RUNS]
//
// A run with 1,000 posts, 10 edits, on a shared 2-core machine (load ~12):
// tarn median 328 ms (max 390 ms) from save to the page showing it, the
// reload event at the same moment; hugo server 507 ms; ratio 0.65.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "data/text_file.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

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

std::string Get(int port, const std::string& path) {
  int fd = Connect(port);
  if (fd < 0) return "";
  std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  if (write(fd, request.data(), request.size()) < 0) {
    close(fd);
    return "";
  }
  std::string text;
  char buffer[65536];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(fd);
  return text;
}

// Reads what is waiting on fd without blocking.
void Drain(int fd, std::string* text) {
  char buffer[8192];
  while (true) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return;
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return;
    text->append(buffer, static_cast<size_t>(n));
  }
}

struct Server {
  pid_t pid = -1;
  int out = -1;
  int port = 0;
  std::string log;
};

// Starts argv with stdout and stderr on a pipe; waits until the output holds
// ready, then takes the port that follows "127.0.0.1:" or "localhost:".
bool Launch(std::vector<std::string> args, const std::string& ready, Server* server) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int rc = posix_spawnp(&server->pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (rc != 0) return false;
  server->out = pipe_fds[0];
  auto deadline = Clock::now() + std::chrono::minutes(5);
  while (Clock::now() < deadline && server->log.find(ready) == std::string::npos) {
    pollfd p{server->out, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    ssize_t n = read(server->out, buffer, sizeof buffer);
    if (n <= 0) break;
    server->log.append(buffer, static_cast<size_t>(n));
  }
  for (const char* host : {"127.0.0.1:", "localhost:"}) {
    size_t at = server->log.find(host);
    if (at != std::string::npos) {
      server->port = std::atoi(server->log.c_str() + at + std::string(host).size());
      break;
    }
  }
  return server->port > 0;
}

void Stop(Server* server) {
  if (server->pid <= 0) return;
  kill(server->pid, SIGINT);
  int status;
  waitpid(server->pid, &status, 0);
  char buffer[4096];
  ssize_t n;
  while ((n = read(server->out, buffer, sizeof buffer)) > 0)
    server->log.append(buffer, static_cast<size_t>(n));
  close(server->out);
}

std::string PostBody(int i, const std::string& marker) {
  std::string body;
  body += "## Notes " + std::to_string(i) + "\n\n";
  body +=
      "A paragraph with *emphasis*, **strong text**, `code` and a [link](https://example.com). " +
      marker + "\n\n";
  for (int k = 0; k < 6; ++k)
    body += "- item " + std::to_string(k) + " of a list that runs over a few words\n";
  body += "\n```cpp\nint main() {\n  return " + std::to_string(i) + ";\n}\n```\n\n";
  for (int k = 0; k < 8; ++k)
    body +=
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. 湖水很静，适合写字。\n\n";
  return body;
}

void WriteTarnPost(const std::string& ws, int i, const std::string& marker) {
  std::string text = "----------\nbench|tarn\n----------\n\n" + PostBody(i, marker);
  tarn::WriteTextFile(ws + "/_posts/post-" + std::to_string(i) + ".md", text);
}

void WriteHugoPost(const std::string& site, int i, const std::string& marker) {
  std::string text = "---\ntitle: \"post-" + std::to_string(i) +
                     "\"\ndate: 2024-01-01T00:00:00Z\ntags: [bench, tarn]\n---\n\n" +
                     PostBody(i, marker);
  tarn::WriteTextFile(site + "/content/posts/post-" + std::to_string(i) + ".md", text);
}

struct Timing {
  std::vector<double> visible;
  std::vector<double> reload;
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
double Max(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// One edit: writes the post, then polls the page (and, for tarn, the reload
// stream) until the marker shows. Returns false when it never shows.
bool TimeEdit(int port, const std::string& page, const std::function<void()>& write,
              const std::string& marker, int stream, Timing* timing) {
  std::string events;
  if (stream >= 0) Drain(stream, &events);
  events.clear();
  auto start = Clock::now();
  write();
  double reload = -1;
  auto deadline = start + std::chrono::seconds(60);
  while (Clock::now() < deadline) {
    if (stream >= 0 && reload < 0) {
      Drain(stream, &events);
      if (events.find("event: reload") != std::string::npos) reload = Ms(Clock::now() - start);
    }
    if (Get(port, page).find(marker) != std::string::npos) {
      timing->visible.push_back(Ms(Clock::now() - start));
      if (stream >= 0) {
        while (reload < 0 && Clock::now() < deadline) {
          Drain(stream, &events);
          if (events.find("event: reload") != std::string::npos) reload = Ms(Clock::now() - start);
          usleep(1000);
        }
        timing->reload.push_back(reload);
      }
      return true;
    }
    usleep(2000);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int posts = argc > 1 ? std::atoi(argv[1]) : 1000;
  int runs = argc > 2 ? std::atoi(argv[2]) : 10;
  char pattern[] = "/tmp/tarn-bench-serve-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  std::string tmp = pattern;

  // tarn: the bundled workspace with posts posts.
  std::string ws = tmp + "/tarn";
  fs::create_directories(ws + "/_posts");
  for (const char* folder : {"config", "template", "themes"})
    fs::copy(std::string(TARN_BUILD_DIR) + "/" + folder, ws + "/" + folder,
             fs::copy_options::recursive);
  for (int i = 0; i < posts; ++i) WriteTarnPost(ws, i, "start");

  // hugo: the same posts, a minimal theme.
  std::string site = tmp + "/hugo";
  fs::create_directories(site + "/content/posts");
  fs::create_directories(site + "/layouts/_default");
  tarn::WriteTextFile(site + "/config.toml",
                      "baseURL = 'http://127.0.0.1/'\ntitle = 'Bench'\n"
                      "disableKinds = ['taxonomy', 'term']\n");
  tarn::WriteTextFile(site + "/layouts/_default/baseof.html",
                      "<!DOCTYPE html><html><head><title>{{ .Title }}</title></head>"
                      "<body>{{ block \"main\" . }}{{ end }}</body></html>\n");
  tarn::WriteTextFile(site + "/layouts/_default/single.html",
                      "{{ define \"main\" }}<article><h1>{{ .Title }}</h1>{{ .Content }}"
                      "</article>{{ end }}\n");
  tarn::WriteTextFile(
      site + "/layouts/_default/list.html",
      "{{ define \"main\" }}<ul>{{ range .Pages }}<li><a href=\"{{ .RelPermalink }}\">"
      "{{ .Title }}</a></li>{{ end }}</ul>{{ end }}\n");
  for (int i = 0; i < posts; ++i) WriteHugoPost(site, i, "start");

  std::printf("%d posts, %d edits each\n", posts, runs);
  Server tarn_server;
  if (!Launch({TARN_BINARY, "-w", ws, "serve", "--port", "0"}, "(Ctrl+C", &tarn_server)) {
    std::fprintf(stderr, "tarn serve did not start:\n%s\n", tarn_server.log.c_str());
    return 1;
  }
  size_t built = tarn_server.log.find("built in ");
  std::string first_build =
      built == std::string::npos
          ? "?"
          : tarn_server.log.substr(built + 9, tarn_server.log.find('\n', built) - built - 9);
  std::printf("tarn first build: %s\n", first_build.c_str());
  Timing tarn_timing;
  int stream = Connect(tarn_server.port);
  std::string hello = "GET /__tarn/events?site=bench HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  if (write(stream, hello.data(), hello.size()) < 0) return 1;
  for (int r = 0; r < runs; ++r) {
    int i = (posts / 2 + r * 37) % posts;
    std::string marker = "tarn-edit-" + std::to_string(r);
    std::string page = "/articles/post-" + std::to_string(i) + ".html";
    if (!TimeEdit(
            tarn_server.port, page, [&] { WriteTarnPost(ws, i, marker); }, marker, stream,
            &tarn_timing))
      std::fprintf(stderr, "tarn: edit %d never showed\n", r);
  }
  close(stream);
  Stop(&tarn_server);
  if (std::getenv("BENCH_VERBOSE")) std::printf("%s\n", tarn_server.log.c_str());

  Server hugo_server;
  Timing hugo_timing;
  bool hugo = Launch({"hugo", "server", "--source", site, "--bind", "127.0.0.1", "--port", "0",
                      "--disableFastRender=false", "--logLevel", "warn"},
                     "Web Server is available", &hugo_server);
  if (!hugo) {
    // Older hugo has no port 0: take a fixed one.
    Stop(&hugo_server);
    hugo_server = Server();
    hugo = Launch({"hugo", "server", "--source", site, "--bind", "127.0.0.1", "--port", "41313"},
                  "Web Server is available", &hugo_server);
  }
  if (hugo) {
    for (int r = 0; r < runs; ++r) {
      int i = (posts / 2 + r * 37) % posts;
      std::string marker = "hugo-edit-" + std::to_string(r);
      std::string page = "/posts/post-" + std::to_string(i) + "/";
      if (!TimeEdit(
              hugo_server.port, page, [&] { WriteHugoPost(site, i, marker); }, marker, -1,
              &hugo_timing))
        std::fprintf(stderr, "hugo: edit %d never showed\n", r);
    }
    Stop(&hugo_server);
  } else {
    std::fprintf(stderr, "hugo server did not start:\n%s\n", hugo_server.log.c_str());
  }

  std::printf("edit visible over HTTP  tarn: median %.0f ms, max %.0f ms\n",
              Median(tarn_timing.visible), Max(tarn_timing.visible));
  std::printf("reload event reached    tarn: median %.0f ms, max %.0f ms\n",
              Median(tarn_timing.reload), Max(tarn_timing.reload));
  if (!hugo_timing.visible.empty()) {
    std::printf("edit visible over HTTP  hugo: median %.0f ms, max %.0f ms\n",
                Median(hugo_timing.visible), Max(hugo_timing.visible));
    std::printf("ratio tarn/hugo (median): %.2f\n",
                Median(tarn_timing.visible) / Median(hugo_timing.visible));
  }
  fs::remove_all(tmp);
  return 0;
}
