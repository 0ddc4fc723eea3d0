// BackgroundTask: runs one piece of work (git, mostly) on a thread of its
// own, so that the thread that started it keeps serving its windows, and
// hands what the work prints and its end back to that thread.
//
// The work runs with a fresh GLib main context pushed as its thread's
// default: the command runner iterates that one while git runs and never
// the owner's, so no window event is ever dispatched on the worker. Output
// and the done handler are called on the owner's context, in the order the
// work produced them, the done handler last.
//
// Thread safety: create, start, wait and destroy on the owner's thread, the
// one that iterates the context given to the constructor.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

typedef struct _GMainContext GMainContext;

namespace tarn {

class BackgroundTask {
 public:
  // Receives one piece of output on the owner's thread.
  using Output = std::function<void(const std::string& text)>;
  // The work, given a callback that forwards text to the owner; it may be
  // called from the worker thread as often as needed.
  using Work = std::function<void(const std::function<int(const std::string&)>& output)>;

  // context: the owner's main context; null for the global default one.
  explicit BackgroundTask(GMainContext* context = nullptr);
  // Waits for work still running to end (it is never cut short); what it
  // reports after that is dropped, the done handler is not called.
  ~BackgroundTask();
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;

  // Starts work unless a work is running (false then: nothing starts).
  // output may be null. done runs once the work has returned and all its
  // output has been delivered; the task counts as running until then, so
  // done may start the next work.
  bool Start(Work work, Output output, std::function<void()> done);

  // True from Start until the done handler has returned.
  bool running() const { return running_; }

  // Iterates the owner's context until no work is running.
  void Wait();

 private:
  struct Link;  // what the worker's deliveries hold of this task
  void Finish();

  GMainContext* context_;
  std::shared_ptr<Link> link_;
  std::thread worker_;
  bool running_ = false;
};

}  // namespace tarn
