#include "deploy/background_task.h"

#include <glib.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "deploy/command_runner.h"
#include "gtest/gtest.h"

namespace tarn {
namespace {

using Output = std::function<int(const std::string&)>;

// The owner is the test's thread with the global default context, as the
// desktop program's user-interface thread is.
TEST(BackgroundTaskTest, OutputAndDoneArriveInOrderOnTheOwnersThreadOnly) {
  const std::thread::id owner = std::this_thread::get_id();
  // A source of the owner's that is due while git runs and the owner is
  // not iterating: it must wait for the owner, never run inside the
  // worker's wait for git.
  std::thread::id idle_thread;
  GSource* idle = g_idle_source_new();
  g_source_set_callback(
      idle,
      [](gpointer data) -> gboolean {
        *static_cast<std::thread::id*>(data) = std::this_thread::get_id();
        return G_SOURCE_REMOVE;
      },
      &idle_thread, nullptr);
  g_source_attach(idle, nullptr);
  g_source_unref(idle);

  std::vector<std::string> seen;
  bool on_owner = true;
  std::promise<void> worked;
  BackgroundTask task;
  bool started = task.Start(
      [&worked](const Output& output) {
        output("first");
        CommandRunner::RunProgram({"/bin/sh", "-c", "echo from-git"}, {}, output);
        output("last");
        worked.set_value();
      },
      [&](const std::string& text) {
        on_owner = on_owner && std::this_thread::get_id() == owner;
        seen.push_back(text);
      },
      [&] { seen.push_back("done"); });
  ASSERT_TRUE(started);
  EXPECT_FALSE(task.Start([](const Output&) {}, nullptr, nullptr)) << "a second work ran";
  worked.get_future().wait();
  task.Wait();
  EXPECT_FALSE(task.running());
  EXPECT_TRUE(on_owner);
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "from-git\n", "last", "done"}));
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  EXPECT_EQ(idle_thread, owner);
}

TEST(BackgroundTaskTest, DoneMayStartTheNextWork) {
  BackgroundTask task;
  int runs = 0;
  std::function<void()> again = [&] {
    if (++runs < 3) task.Start([](const Output&) {}, nullptr, again);
  };
  ASSERT_TRUE(task.Start([](const Output&) {}, nullptr, again));
  task.Wait();
  EXPECT_EQ(runs, 3);
}

TEST(BackgroundTaskTest, ATaskDestroyedWhileItRunsWaitsAndDropsItsReports) {
  bool reported = false;
  bool finished = false;
  {
    BackgroundTask task;
    task.Start(
        [&finished](const Output& output) {
          CommandRunner::RunProgram({"/bin/sh", "-c", "sleep 0.2; echo late"}, {}, output);
          finished = true;
        },
        [&](const std::string&) { reported = true; }, [&] { reported = true; });
  }
  EXPECT_TRUE(finished) << "the work was not waited for";
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  EXPECT_FALSE(reported);
}

}  // namespace
}  // namespace tarn
