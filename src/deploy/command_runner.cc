#include "deploy/command_runner.h"

#include <errno.h>
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace tarn {
namespace {

enum class ReadResult { kChunk, kNothingYet, kFinished };

// Everything one run shares with its main-context callbacks. Lives on the
// stack of RunProgram; the sources are destroyed before it goes away.
struct RunState {
  int fd = -1;
  const ChunkCallback* callback = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  std::string output;
  bool eof = false;
  bool stopped = false;
  bool exited = false;
  int wait_status = 0;
};

// One read of at most kChunkSize bytes, handed on as one chunk.
ReadResult ReadChunk(RunState* state) {
  char buffer[CommandRunner::kChunkSize + 1];
  ssize_t n;
  do {
    n = read(state->fd, buffer, CommandRunner::kChunkSize);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadResult::kNothingYet;
  if (n <= 0) {
    state->eof = true;
    return ReadResult::kFinished;
  }
  // A zero byte ends the chunk: the callback and the output take text.
  std::string chunk(buffer, strnlen(buffer, static_cast<std::size_t>(n)));
  if (state->callback && *state->callback && (*state->callback)(chunk) != 0) {
    state->stopped = true;
    return ReadResult::kFinished;
  }
  state->output += chunk;
  return ReadResult::kChunk;
}

gboolean OnReadable(gint /*fd*/, GIOCondition /*condition*/, gpointer data) {
  auto* state = static_cast<RunState*>(data);
  // Reading inside the dispatch (rather than flagging and reading later)
  // matters for nested runs: while an inner run iterates the context, this
  // source keeps draining the outer pipe instead of waking poll() forever.
  return ReadChunk(state) == ReadResult::kFinished ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

gboolean OnCancelPoll(gpointer data) {
  auto* state = static_cast<RunState*>(data);
  if (!state->cancel->load()) return G_SOURCE_CONTINUE;
  state->stopped = true;
  return G_SOURCE_REMOVE;
}

void OnChildExit(GPid pid, gint wait_status, gpointer data) {
  auto* state = static_cast<RunState*>(data);
  state->exited = true;
  state->wait_status = wait_status;
  g_spawn_close_pid(pid);
}

// The context to iterate while waiting: the thread's own one. A thread that
// has none and cannot own the global default (another thread runs it) waits
// on a private context instead, so it never steals the other thread's events.
class WaitContext {
 public:
  WaitContext() : context_(g_main_context_ref_thread_default()) {
    if (!g_main_context_acquire(context_)) {
      g_main_context_unref(context_);
      context_ = g_main_context_new();
      g_main_context_push_thread_default(context_);
      pushed_ = true;
      g_main_context_acquire(context_);
    }
  }
  ~WaitContext() {
    g_main_context_release(context_);
    if (pushed_) g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
  }
  WaitContext(const WaitContext&) = delete;
  WaitContext& operator=(const WaitContext&) = delete;

  GMainContext* get() const { return context_; }

 private:
  GMainContext* context_;
  bool pushed_ = false;
};

// Runs in the child between fork and exec: only async-signal-safe calls.
void LeadOwnGroup(gpointer) { setpgid(0, 0); }

void DestroySource(GSource** source) {
  if (*source) {
    g_source_destroy(*source);
    g_source_unref(*source);
    *source = nullptr;
  }
}

// Starts argv with standard output and standard error on one pipe and
// standard input from /dev/null; on success sets *pid and *read_fd (the
// pipe's non-blocking read end, owned by the caller) and returns true.
bool Spawn(const std::vector<std::string>& argv, const ProgramOptions& options, GPid* pid,
           int* read_fd, std::string* error_text) {
  int pipe_fds[2];
  GError* error = nullptr;
  if (!g_unix_open_pipe(pipe_fds, FD_CLOEXEC, &error)) {
    *error_text = std::string("cannot create a pipe: ") + error->message;
    g_error_free(error);
    return false;
  }
  g_unix_set_fd_nonblocking(pipe_fds[0], TRUE, nullptr);

  std::vector<char*> child_argv;
  for (const std::string& arg : argv) child_argv.push_back(const_cast<char*>(arg.c_str()));
  child_argv.push_back(nullptr);
  gchar** envp = g_get_environ();
  for (const std::string& name : options.unset_env) envp = g_environ_unsetenv(envp, name.c_str());
  for (const auto& [name, value] : options.env)
    envp = g_environ_setenv(envp, name.c_str(), value.c_str(), TRUE);

  const auto flags = static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH |
                                              G_SPAWN_STDIN_FROM_DEV_NULL);
  // Standard output and standard error are the same pipe, so the child's
  // messages keep the order in which it wrote them.
  gboolean spawned = g_spawn_async_with_pipes_and_fds(
      options.work_dir.empty() ? nullptr : options.work_dir.c_str(), child_argv.data(), envp, flags,
      options.cancel ? LeadOwnGroup : nullptr, nullptr, -1, pipe_fds[1], pipe_fds[1], nullptr, nullptr, 0, pid, nullptr, nullptr,
      nullptr, &error);
  g_strfreev(envp);
  // Only the child may hold the write end, or the pipe would never break.
  close(pipe_fds[1]);
  if (!spawned) {
    *error_text = error->message;
    g_error_free(error);
    close(pipe_fds[0]);
    return false;
  }
  *read_fd = pipe_fds[0];
  return true;
}

// Hands the child's output to the callback chunk by chunk until the child
// exits, the pipe breaks, the callback stops it or cancel is set; reaps the
// child and closes read_fd. Fills the output, stopped and exit_status of
// *result.
void Collect(GPid pid, int read_fd, const ChunkCallback& callback,
             const std::atomic<bool>* cancel, CommandResult* result) {
  WaitContext context;
  RunState state;
  state.fd = read_fd;
  state.callback = &callback;
  state.cancel = cancel;

  GSource* read_source =
      g_unix_fd_source_new(state.fd, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
  g_source_set_callback(read_source, G_SOURCE_FUNC(OnReadable), &state, nullptr);
  g_source_attach(read_source, context.get());
  GSource* child_source = g_child_watch_source_new(pid);
  g_source_set_callback(child_source, G_SOURCE_FUNC(OnChildExit), &state, nullptr);
  g_source_attach(child_source, context.get());
  GSource* cancel_source = nullptr;
  if (cancel) {
    // A child that prints nothing never wakes the wait; this does.
    cancel_source = g_timeout_source_new(
        static_cast<guint>(CommandRunner::kCancelPoll.count()));
    g_source_set_callback(cancel_source, OnCancelPoll, &state, nullptr);
    g_source_attach(cancel_source, context.get());
  }

  while (!state.exited && !state.eof && !state.stopped)
    g_main_context_iteration(context.get(), TRUE);
  DestroySource(&read_source);
  DestroySource(&cancel_source);

  if (state.exited && !state.eof && !state.stopped) {
    // The child is gone, so everything it wrote is already in the pipe. Take
    // that and stop: a grandchild that kept the write end open (a daemon the
    // command left behind) must not hold the caller up.
    while (ReadChunk(&state) == ReadResult::kChunk) {
    }
  }
  close(state.fd);
  // Not reaped yet, so pid still names the child and, with a cancel flag,
  // its process group.
  if (state.stopped && !state.exited) kill(cancel ? -pid : pid, SIGTERM);
  while (!state.exited) g_main_context_iteration(context.get(), TRUE);
  DestroySource(&child_source);

  result->stopped = state.stopped;
  result->output = std::move(state.output);
  result->exit_status = WIFEXITED(state.wait_status) ? WEXITSTATUS(state.wait_status) : -1;
}

}  // namespace

std::string CommandRunner::RunCommand(const std::string& command, const ChunkCallback& callback) {
  if (command.empty()) return std::string();
  return RunProgram({"/bin/sh", "-c", command}, ProgramOptions(), callback).output;
}

CommandResult CommandRunner::RunProgram(const std::vector<std::string>& argv,
                                        const ProgramOptions& options,
                                        const ChunkCallback& callback) {
  CommandResult result;
  if (argv.empty() || argv[0].empty()) {
    result.error = "no program to run";
    return result;
  }
  if (!options.work_dir.empty() && !g_file_test(options.work_dir.c_str(), G_FILE_TEST_IS_DIR)) {
    result.error = "cannot run " + argv[0] + " in " + options.work_dir + ": no such folder";
    return result;
  }
  if (options.cancel && options.cancel->load()) {
    result.error = "cancelled";
    return result;
  }
  GPid pid = 0;
  int read_fd = -1;
  if (!Spawn(argv, options, &pid, &read_fd, &result.error)) return result;
  result.started = true;
  Collect(pid, read_fd, callback, options.cancel, &result);
  return result;
}

}  // namespace tarn
