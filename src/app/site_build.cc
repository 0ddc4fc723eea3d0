#include "app/site_build.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include <glib.h>

#include "app/reason_log.h"
#include "render/parallel_build.h"
#include "render/site_builder.h"

namespace tarn {
namespace {

// With TARN_BUILD_TRACE set, measures how late a 10 ms timer runs while it
// lives: how long the main loop, and so the windows, went unserved.
class StallProbe {
 public:
  StallProbe() {
    if (!g_getenv("TARN_BUILD_TRACE")) return;
    last_ = g_get_monotonic_time();
    source_ = g_timeout_add(kPeriodMs, &StallProbe::Tick, this);
  }
  ~StallProbe() {
    if (source_) g_source_remove(source_);
  }
  StallProbe(const StallProbe&) = delete;
  StallProbe& operator=(const StallProbe&) = delete;
  gint64 worst() const { return worst_; }  // microseconds

 private:
  static constexpr unsigned kPeriodMs = 10;
  static gboolean Tick(gpointer data) {
    auto* self = static_cast<StallProbe*>(data);
    gint64 now = g_get_monotonic_time();
    self->worst_ = std::max(self->worst_, now - self->last_ - gint64{kPeriodMs} * 1000);
    self->last_ = now;
    return G_SOURCE_CONTINUE;
  }
  guint source_ = 0;
  gint64 last_ = 0;
  gint64 worst_ = 0;
};

// With TARN_BUILD_GATE=FILE set, a build the window runs says "build:
// waiting for FILE" on stderr and starts only once FILE exists, so that a
// test can see what the windows do while a build is under way, however fast
// the machine builds. Called on the build's thread.
void WaitAtBuildGate() {
  const char* gate = g_getenv("TARN_BUILD_GATE");
  if (!gate || !*gate) return;
  std::fprintf(stderr, "build: waiting for %s\n", gate);
  std::fflush(stderr);
  constexpr gulong kPollUs = 20 * 1000;
  while (!g_file_test(gate, G_FILE_TEST_EXISTS)) g_usleep(kPollUs);
}

}  // namespace

bool SiteBuild::InBackground() {
  Hold();
  const gint64 start = g_get_monotonic_time();
  StallProbe probe;
  std::atomic<bool> done{false};
  bool built = false;
  std::thread builder([this, &done, &built] {
    WaitAtBuildGate();
    built =
        ParallelBuild::Run(site_, {}, [this](const std::string& reason) { reasons_->Add(reason); });
    done.store(true);
    g_main_context_wakeup(nullptr);
  });
  while (!done.load()) {
    g_main_context_iteration(nullptr, TRUE);
    reasons_->DeliverQueued();
  }
  builder.join();
  reasons_->DeliverQueued();
  Release();
  if (g_getenv("TARN_BUILD_TRACE")) {
    std::fprintf(stderr, "build: %.0f ms, main loop at most %.0f ms late\n",
                 static_cast<double>(g_get_monotonic_time() - start) / 1000.0,
                 static_cast<double>(probe.worst()) / 1000.0);
  }
  return built;
}

bool SiteBuild::OnThisThread() {
  Hold();
  bool built = site_->Build();
  Release();
  return built;
}

bool SiteBuild::PostponeRefresh() {
  refresh_due_ = running();
  return refresh_due_;
}

}  // namespace tarn
