#include "net/update_check_task.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace tarn {
namespace {

// A manifest "server" that holds every request until released, as a slow
// network would. The checks' threads share its state, which outlives them.
class HeldManifest {
 public:
  UpdateChecker Checker() {
    std::shared_ptr<Gate> gate = gate_;
    return UpdateChecker([gate](const std::string&, const DiagnosticSink&) {
      std::unique_lock<std::mutex> lock(gate->mutex);
      gate->released.wait(lock, [&gate] { return gate->open; });
      return std::string("{\"versionList\":[{\"version\":9,\"order\":99,\"update\":\"notes\"}]}");
    });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(gate_->mutex);
    gate_->open = true;
    gate_->released.notify_all();
  }

 private:
  struct Gate {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
  };
  std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

// Iterates the context until done() or about ten seconds have passed.
bool SpinUntil(GMainContext* context, const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < end) {
    g_main_context_iteration(context, FALSE);
    g_usleep(1000);
  }
  return done();
}

// The window that started a check may be closed while the check still
// waits on the network: its callback must never run then, while a live
// owner's does, on the context's thread.
TEST(UpdateCheckTaskTest, ANoticeReachesOnlyAnOwnerThatStillExists) {
  GMainContext* context = g_main_context_new();
  HeldManifest manifest;
  int gone_calls = 0;
  int live_calls = 0;
  std::string live_text;
  auto gone = std::make_unique<UpdateCheckTask>(
      context, [&](const UpdateNotice&) { ++gone_calls; }, manifest.Checker());
  UpdateCheckTask live(
      context,
      [&](const UpdateNotice& notice) {
        ++live_calls;
        live_text = notice.text;
      },
      manifest.Checker());
  gone.reset();
  manifest.Release();

  ASSERT_TRUE(SpinUntil(context, [&] { return live_calls == 1; }));
  EXPECT_NE(live_text.find("版本号：9"), std::string::npos);
  // Give the closed owner's check the same chance to (wrongly) deliver.
  SpinUntil(
      context, [] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(gone_calls, 0);
  EXPECT_EQ(live_calls, 1);
  g_main_context_unref(context);
}

}  // namespace
}  // namespace tarn
