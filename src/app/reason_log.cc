#include "app/reason_log.h"

#include <cstdio>

#include <glib.h>

#include "app/console_window.h"

namespace tarn {

void ReasonLog::Add(const std::string& reason) {
  if (std::this_thread::get_id() != ui_thread_) {
    {
      std::lock_guard<std::mutex> lock(queued_mutex_);
      queued_.push_back(reason);
    }
    g_main_context_wakeup(nullptr);
    return;
  }
  std::fprintf(stderr, "tarn: %s\n", reason.c_str());
  console_->Output(reason);
  reasons_.push_back(reason);
}

void ReasonLog::DeliverQueued() {
  std::vector<std::string> queued;
  {
    std::lock_guard<std::mutex> lock(queued_mutex_);
    queued.swap(queued_);
  }
  for (const std::string& reason : queued) Add(reason);
}

std::string ReasonLog::Take() {
  std::string text;
  for (const std::string& reason : reasons_) {
    if (!text.empty()) text += "\n";
    text += reason;
  }
  reasons_.clear();
  return text;
}

}  // namespace tarn
