// ReasonLog: the reasons for failures that the site builder and the
// deployer report while the desktop program runs on a blog. Each reason is
// written to standard error and the console window, and kept until the next
// message takes it (Take), so that the message can say why.
//
// The build's threads report as well: a reason from another thread is
// queued and written when the user-interface thread delivers the queue
// (DeliverQueued), in the order it came.
//
// Thread safety: Add from any thread; the rest on the user-interface
// thread, the one that made the log.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarn {

class ConsoleWindow;

class ReasonLog {
 public:
  // console is not owned and must outlive the log.
  explicit ReasonLog(ConsoleWindow* console) : console_(console) {}
  ReasonLog(const ReasonLog&) = delete;
  ReasonLog& operator=(const ReasonLog&) = delete;

  // Writes and keeps reason; from another thread, queues it and wakes the
  // main loop. Never fails.
  void Add(const std::string& reason);

  // Writes and keeps the reasons other threads queued, in order.
  void DeliverQueued();

  // The reasons kept since the last call, one per line ("" when none).
  std::string Take();

 private:
  ConsoleWindow* console_;
  const std::thread::id ui_thread_ = std::this_thread::get_id();
  std::vector<std::string> reasons_;
  std::mutex queued_mutex_;          // guards queued_
  std::vector<std::string> queued_;  // from other threads
};

}  // namespace tarn
