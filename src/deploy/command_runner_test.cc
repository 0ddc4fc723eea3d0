#include "deploy/command_runner.h"

#include <errno.h>
#include <glib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "support/temp_dir.h"

namespace tarn {
namespace {

// True when this process has no child left, running or unreaped.
bool NoChildrenLeft() {
  int status;
  return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST(CommandRunnerTest, OutputArrivesInOrderInChunksOfAtMost1023Bytes) {
  std::vector<std::string> chunks;
  auto collect = [&](const std::string& chunk) {
    chunks.push_back(chunk);
    return 0;
  };
  std::string expected;
  for (int i = 1; i <= 3000; ++i) expected += std::to_string(i) + "\n";
  EXPECT_EQ(CommandRunner::RunCommand("seq 1 3000", collect), expected);
  ASSERT_GT(chunks.size(), 1u);
  std::string joined;
  for (const std::string& chunk : chunks) {
    EXPECT_LE(chunk.size(), CommandRunner::kChunkSize);
    joined += chunk;
  }
  EXPECT_EQ(joined, expected);

  // Standard error shares the stream, in the order the child wrote.
  EXPECT_EQ(CommandRunner::RunCommand("echo one; echo two >&2; echo three; echo four >&2"),
            "one\ntwo\nthree\nfour\n");

  // A zero byte ends its chunk; the rest of that read is dropped.
  chunks.clear();
  EXPECT_EQ(CommandRunner::RunCommand("printf 'ab\\000cd'", collect), "ab");
  EXPECT_EQ(chunks, std::vector<std::string>{"ab"});
}

TEST(CommandRunnerTest, NothingToReportMeansNoCallback) {
  int calls = 0;
  auto count = [&](const std::string&) {
    ++calls;
    return 0;
  };
  EXPECT_EQ(CommandRunner::RunCommand("", count), "");
  EXPECT_EQ(CommandRunner::RunCommand("true", count), "");
  // Standard input is /dev/null: a program that reads it ends at once.
  EXPECT_EQ(CommandRunner::RunCommand("cat", count), "");
  EXPECT_EQ(calls, 0);
  // A null function is the same as no callback.
  EXPECT_EQ(CommandRunner::RunCommand("echo hi", ChunkCallback()), "hi\n");
  EXPECT_TRUE(NoChildrenLeft());
}

TEST(CommandRunnerTest, CallbackThatStopsEndsTheRunAndReapsTheChild) {
  int calls = 0;
  // Without the stop this would print forever.
  std::string output = CommandRunner::RunCommand("yes", [&](const std::string&) {
    ++calls;
    return 1;
  });
  EXPECT_EQ(output, "");
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(NoChildrenLeft());

  // A child that goes quiet after the stop is not waited for until it ends.
  CommandResult result =
      CommandRunner::RunProgram({"/bin/sh", "-c", "echo first; exec sleep 600"}, ProgramOptions(),
                                [](const std::string&) { return 7; });
  EXPECT_TRUE(result.stopped);
  EXPECT_FALSE(result.succeeded());
  EXPECT_EQ(result.output, "");
  EXPECT_TRUE(NoChildrenLeft());
}

// True when pid has ended (gone, or a zombie its new parent has not reaped).
bool Ended(const std::string& pid) {
  gchar* stat = nullptr;
  if (!g_file_get_contents(("/proc/" + pid + "/stat").c_str(), &stat, nullptr, nullptr))
    return true;
  std::string text = stat;
  g_free(stat);
  std::size_t close = text.rfind(')');
  return close != std::string::npos && text.compare(close, 4, ") Z ") == 0;
}

TEST(CommandRunnerTest, CancelFromAnotherThreadStopsASilentChild) {
  // The child prints nothing, so only the periodic look at the flag can
  // notice it; the run must end long before sleep would.
  std::atomic<bool> cancel{false};
  ProgramOptions options;
  options.cancel = &cancel;
  std::thread canceller([&cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel = true;
  });
  auto began = std::chrono::steady_clock::now();
  CommandResult result = CommandRunner::RunProgram({"sleep", "30"}, options);
  auto took = std::chrono::steady_clock::now() - began;
  canceller.join();
  EXPECT_TRUE(result.started);
  EXPECT_TRUE(result.stopped);
  EXPECT_FALSE(result.succeeded());
  EXPECT_LT(took, std::chrono::seconds(20));
  EXPECT_TRUE(NoChildrenLeft());

  // A flag set before the call starts nothing; one never set changes nothing.
  result = CommandRunner::RunProgram({"/bin/sh", "-c", "echo ran"}, options);
  EXPECT_FALSE(result.started);
  EXPECT_EQ(result.error, "cancelled");
  EXPECT_EQ(result.output, "");
  cancel = false;
  result = CommandRunner::RunProgram({"/bin/sh", "-c", "sleep 0.3; echo ran; exit 2"}, options);
  EXPECT_FALSE(result.stopped);
  EXPECT_EQ(result.output, "ran\n");
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(NoChildrenLeft());

  // What the child started goes with it (as git's remote helper must).
  cancel = false;
  std::thread again([&cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel = true;
  });
  result = CommandRunner::RunProgram({"/bin/sh", "-c", "sleep 30 & echo $!; wait"}, options);
  again.join();
  EXPECT_TRUE(result.stopped);
  std::string grandchild = result.output.substr(0, result.output.find('\n'));
  ASSERT_FALSE(grandchild.empty());
  bool ended = false;
  for (int i = 0; i < 100 && !(ended = Ended(grandchild)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(ended) << "sleep " << grandchild << " outlived the cancelled run";
}

TEST(CommandRunnerTest, WaitsForTheChildAfterItsLastOutput) {
  CommandResult result = CommandRunner::RunProgram(
      {"/bin/sh", "-c", "echo early; exec >/dev/null 2>&1; sleep 0.3; exit 3"}, ProgramOptions());
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.output, "early\n");
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_TRUE(NoChildrenLeft());
}

TEST(CommandRunnerTest, BackgroundGrandchildHoldingThePipeDoesNotHoldTheCaller) {
  // sleep inherits the pipe and outlives the shell; the run ends with the
  // shell, having read everything the shell wrote.
  std::string output = CommandRunner::RunCommand("sleep 30 & echo done");
  EXPECT_EQ(output, "done\n");
}

TEST(CommandRunnerTest, ArgumentsReachTheProgramUnchangedAndNoShellRuns) {
  const std::string hostile = "x; touch owned \"$(id)\" `id` 'q";
  TempDir temp("runner");
  const std::string dir = temp.str();
  ProgramOptions options;
  options.work_dir = dir;
  options.env.push_back({"TARN_PROBE", "from env"});
  CommandResult result = CommandRunner::RunProgram(
      {"/bin/sh", "-c", "printf '%s|%s|%s' \"$1\" \"$TARN_PROBE\" \"$(pwd)\"", "sh", hostile},
      options);
  EXPECT_TRUE(result.succeeded());
  EXPECT_EQ(result.output, hostile + "|from env|" + dir);
  EXPECT_FALSE(g_file_test((dir + "/owned").c_str(), G_FILE_TEST_EXISTS));
}

TEST(CommandRunnerTest, FailuresToStartAreReportedNotRun) {
  ProgramOptions missing;
  missing.work_dir = "/nonexistent/tarn-folder";
  CommandResult result = CommandRunner::RunProgram({"/bin/echo", "hi"}, missing);
  EXPECT_FALSE(result.started);
  EXPECT_NE(result.error.find("/nonexistent/tarn-folder"), std::string::npos);
  EXPECT_EQ(result.output, "");

  result = CommandRunner::RunProgram({"tarn-no-such-program-anywhere"}, ProgramOptions());
  EXPECT_FALSE(result.started);
  EXPECT_FALSE(result.error.empty());

  result = CommandRunner::RunProgram({}, ProgramOptions());
  EXPECT_FALSE(result.started);

  result = CommandRunner::RunProgram({"/bin/sh", "-c", "echo bad >&2; exit 4"}, ProgramOptions());
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.exit_status, 4);
  EXPECT_EQ(result.output, "bad\n");
  EXPECT_FALSE(result.succeeded());
}

TEST(CommandRunnerTest, KeepsTheMainContextRunningAndAllowsNestedRuns) {
  // An event of the caller's context is served while the child runs, and
  // may itself run a command, as a click during a push would.
  std::string inner;
  g_idle_add(
      [](gpointer data) -> gboolean {
        *static_cast<std::string*>(data) = CommandRunner::RunCommand("echo inner");
        return G_SOURCE_REMOVE;
      },
      &inner);
  EXPECT_EQ(CommandRunner::RunCommand("sleep 0.2; echo slept"), "slept\n");
  EXPECT_EQ(inner, "inner\n");

  // A run started from inside another run's callback finishes first.
  std::vector<std::string> events;
  std::string outer = CommandRunner::RunCommand(
      "echo outer1; sleep 0.1; echo outer2", [&](const std::string& chunk) {
        events.push_back("outer:" + chunk);
        if (events.size() == 1)
          events.push_back("inner:" + CommandRunner::RunCommand("echo inner"));
        return 0;
      });
  EXPECT_EQ(outer, "outer1\nouter2\n");
  ASSERT_GE(events.size(), 2u);  // the outer output may come in one chunk or two
  EXPECT_EQ(events[1], "inner:inner\n");
  EXPECT_TRUE(NoChildrenLeft());
}

}  // namespace
}  // namespace tarn
