#include "script/worker_process_host.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/self_executable.h"
#include "script/jsc_script_host.h"

extern char** environ;

namespace tarn {
namespace {

constexpr char kFailed = 0;
constexpr char kOk = 1;
// A frame longer than this is a broken stream, not a post.
constexpr std::uint64_t kMaxFrame = std::uint64_t{1} << 32;

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    // send() on the socket so that a dead peer is an error, not SIGPIPE.
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// False at the end of input or on an error; *eof tells which, when given.
bool ReadAll(int fd, char* data, std::size_t size, bool* eof = nullptr) {
  std::size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (eof) *eof = n == 0 && got == 0;
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteFrame(int fd, char flag, const std::string& body) {
  char head[9];
  head[0] = flag;
  std::uint64_t size = body.size();
  std::memcpy(head + 1, &size, sizeof size);
  return WriteAll(fd, head, sizeof head) && WriteAll(fd, body.data(), body.size());
}

bool ReadFrame(int fd, char* flag, std::string* body, bool* eof = nullptr) {
  char head[9];
  if (!ReadAll(fd, head, sizeof head, eof)) return false;
  std::uint64_t size;
  std::memcpy(&size, head + 1, sizeof size);
  if (size > kMaxFrame) return false;
  *flag = head[0];
  body->resize(size);
  return ReadAll(fd, body->data(), size);
}

}  // namespace

WorkerProcessHost::WorkerProcessHost(pid_t pid, int fd, std::string page_path, DiagnosticSink sink)
    : pid_(pid), fd_(fd), page_path_(std::move(page_path)), sink_(std::move(sink)) {}

WorkerProcessHost::~WorkerProcessHost() {
  ::close(fd_);
  int status;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

std::string WorkerProcessHost::SelfExecutable() { return tarn::SelfExecutable(); }

std::string WorkerProcessHost::WorkerExecutable() {
  std::string self = SelfExecutable();
  std::size_t slash = self.rfind('/');
  if (slash == std::string::npos) return self;
  std::string lean = self.substr(0, slash + 1) + kLeanWorker;
  return ::access(lean.c_str(), X_OK) == 0 ? lean : self;
}

std::unique_ptr<WorkerProcessHost> WorkerProcessHost::Start(
    const std::string& executable, const std::string& page_path, const std::string& expected_digest,
    DiagnosticSink sink, const std::vector<std::string>& environment) {
  auto report = [&](const std::string& why) {
    if (sink) sink("tarn: cannot start a conversion worker: " + why);
  };
  int fds[2];
  // Close-on-exec, so that children started at the same time from other
  // threads do not keep each other's sockets open.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    report(std::strerror(errno));
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  std::vector<std::string> words = {executable, "convert-worker", page_path};
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  std::vector<std::string> added = environment;
  for (std::string& e : added) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid;
  int rc = ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    report(executable + ": " + std::strerror(rc));
    return nullptr;
  }
  std::unique_ptr<WorkerProcessHost> host(new WorkerProcessHost(pid, fds[0], page_path, sink));
  char flag;
  std::string digest;
  if (!ReadFrame(fds[0], &flag, &digest) || flag != kOk) {
    report("it ended before loading " + page_path);
    return nullptr;
  }
  if (!expected_digest.empty() && digest != expected_digest) return nullptr;
  host->digest_ = std::move(digest);
  return host;
}

bool WorkerProcessHost::HasFunction(const std::string& name) {
  return !broken_ && name == "markToHtml";
}

void WorkerProcessHost::Fail(const std::string& why) {
  if (broken_) return;
  broken_ = true;
  if (sink_) sink_("tarn: a conversion worker stopped (" + why + "); its posts are converted here");
}

bool WorkerProcessHost::CallFunction(const std::string& name, const std::vector<std::string>& args,
                                     std::string* result, std::string* error) {
  if (name != "markToHtml" || args.size() != 1) {
    *error = "a conversion worker runs markToHtml(text) only";
    return false;
  }
  if (broken_) {
    *error = "the conversion worker has stopped";
    return false;
  }
  char flag;
  std::string body;
  if (!WriteFrame(fd_, kOk, args[0]) || !ReadFrame(fd_, &flag, &body)) {
    Fail("it ended without answering");
    *error = "the conversion worker has stopped";
    return false;
  }
  if (flag == kOk) {
    *result = std::move(body);
    return true;
  }
  *error = std::move(body);
  return false;
}

std::string WorkerProcessHost::Origin() const { return page_path_; }

int WorkerProcessHost::Serve(const std::string& page_path, int in_fd, int out_fd) {
  // What the page says while it loads, the parent's own host has said
  // already; what it says while converting goes to stderr as usual.
  bool loaded = false;
  DiagnosticSink sink = [&loaded](const std::string& message) {
    if (loaded) std::fprintf(stderr, "%s\n", message.c_str());
  };
  std::unique_ptr<JscScriptHost> host = JscScriptHost::Load(page_path, sink);
  if (!host) return 1;
  loaded = true;
  long exit_after = -1;
  if (const char* hook = std::getenv("TARN_TEST_WORKER_EXIT_AFTER")) exit_after = std::atol(hook);
  if (!WriteFrame(out_fd, kOk, host->ScriptsDigest())) return 1;
  char flag;
  std::vector<std::string> args(1);
  for (long done = 0;; ++done) {
    bool eof = false;
    if (!ReadFrame(in_fd, &flag, &args[0], &eof)) return eof ? 0 : 1;
    if (done == exit_after) _exit(3);
    std::string html, error;
    bool ok = host->CallFunction("markToHtml", args, &html, &error);
    if (!WriteFrame(out_fd, ok ? kOk : kFailed, ok ? html : error)) return 1;
  }
}

}  // namespace tarn
