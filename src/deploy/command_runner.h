// CommandRunner: runs a child process with its standard output and standard
// error merged into one pipe, hands every piece of output to a callback as
// soon as it arrives, and returns the whole output when the child is done.
//
// The desktop program calls it on the user-interface thread: while it waits
// it iterates the calling thread's GLib main context (the thread-default
// one), so windows stay responsive and an event handled in between may start
// another run, which finishes before the outer one goes on. Waiting blocks in
// poll() on the pipe and on the child's exit; it never spins.
//
// Output is read in chunks of at most kChunkSize bytes; a chunk is cut at its
// first zero byte (the rest of that read is dropped). A callback that returns
// non-zero stops the run: that chunk is not kept, the child is sent SIGTERM
// and reaped, and the text gathered so far is returned. Children are always
// reaped before a call returns.
//
// Another thread can stop a run through ProgramOptions::cancel: the wait
// wakes every kCancelPoll even while the child prints nothing, and once
// the flag is set the run stops as a callback's stop does (SIGTERM, reap,
// stopped == true). Such a child runs in a process group of its own and
// the stop signals the whole group: git's remote helper, blocked on a
// silent server, would otherwise outlive it. (The group also keeps the
// terminal's Ctrl-C from the child; whoever can cancel a run stops it
// through the flag: a window, or an InterruptFlag on the command line.)
//
// Thread safety: a call works on the calling thread only; calls on
// different threads with different main contexts do not interfere. The
// cancel flag may be set from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

// Receives one chunk of output; 0 means go on, anything else stops reading.
using ChunkCallback = std::function<int(const std::string& chunk)>;

struct ProgramOptions {
  // The folder the program runs in. Empty: the caller's current folder.
  // A folder that does not exist is an error; the program is not started.
  std::string work_dir;
  // Variables set (or replaced) in the inherited environment.
  std::vector<std::pair<std::string, std::string>> env;
  // Variables removed from the inherited environment.
  std::vector<std::string> unset_env;
  // When not null: set (from any thread) to stop the run. Read while the
  // run lasts, so it must outlive the call. Already set: the program is
  // not started.
  const std::atomic<bool>* cancel = nullptr;
};

struct CommandResult {
  bool started = false;  // false: nothing ran; error says why
  bool stopped = false;  // the callback or the cancel flag stopped the run
  int exit_status = -1;  // the exit code; -1 when killed by a signal or not started
  std::string output;    // every accepted chunk, in arrival order
  std::string error;     // why the program could not be started

  bool succeeded() const { return started && !stopped && exit_status == 0; }
};

class CommandRunner {
 public:
  static constexpr std::size_t kChunkSize = 1023;
  // How often a run with a cancel flag looks at it.
  static constexpr std::chrono::milliseconds kCancelPoll{100};

  // Runs command through "/bin/sh -c" in the current folder and returns its
  // output. Empty text when the command is empty (nothing is started), when
  // the shell cannot be started, or when the command printed nothing. The
  // exit status is not reported; use RunProgram where it matters.
  static std::string RunCommand(const std::string& command,
                                const ChunkCallback& callback = nullptr);

  // Runs argv[0] (looked up on PATH when it has no slash) with the argument
  // vector as given: no shell sees the arguments. Standard input is
  // /dev/null. Returns started == false with the reason in error when argv is
  // empty, the folder is missing, the cancel flag is set already, or the
  // program cannot be executed.
  static CommandResult RunProgram(const std::vector<std::string>& argv,
                                  const ProgramOptions& options,
                                  const ChunkCallback& callback = nullptr);
};

}  // namespace tarn
