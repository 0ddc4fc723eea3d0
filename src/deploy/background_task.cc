#include "deploy/background_task.h"

#include <glib.h>

#include <utility>

namespace tarn {

// Lives as long as the last delivery that refers to it; task is cleared on
// the owner's thread when the task goes, so a late delivery finds nobody.
struct BackgroundTask::Link {
  BackgroundTask* task = nullptr;
  Output output;
  std::function<void()> done;
};

namespace {

struct Delivery {
  std::shared_ptr<void> link;
  std::function<void()> run;
};

gboolean Deliver(gpointer data) {
  static_cast<Delivery*>(data)->run();
  return G_SOURCE_REMOVE;
}

void Post(GMainContext* context, std::shared_ptr<void> link, std::function<void()> run) {
  auto* delivery = new Delivery{std::move(link), std::move(run)};
  // An idle source attached to the owner's context: dispatched there, in
  // the order posted (same priority), never on the worker.
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, Deliver, delivery,
                        [](gpointer data) { delete static_cast<Delivery*>(data); });
  g_source_attach(source, context);
  g_source_unref(source);
}

}  // namespace

BackgroundTask::BackgroundTask(GMainContext* context)
    : context_(context ? context : g_main_context_default()) {
  g_main_context_ref(context_);
}

BackgroundTask::~BackgroundTask() {
  if (link_) link_->task = nullptr;
  if (worker_.joinable()) worker_.join();
  g_main_context_unref(context_);
}

bool BackgroundTask::Start(Work work, Output output, std::function<void()> done) {
  if (running_) return false;
  if (worker_.joinable()) worker_.join();  // the last work has returned already
  running_ = true;
  if (link_) link_->task = nullptr;
  link_ = std::make_shared<Link>();
  link_->task = this;
  link_->output = std::move(output);
  link_->done = std::move(done);
  worker_ = std::thread([context = context_, link = link_, work = std::move(work)] {
    GMainContext* own = g_main_context_new();
    g_main_context_push_thread_default(own);
    work([context, link](const std::string& text) {
      Post(context, link, [link, text] {
        if (link->task && link->output) link->output(text);
      });
      return 0;
    });
    g_main_context_pop_thread_default(own);
    g_main_context_unref(own);
    Post(context, link, [link] {
      if (link->task) link->task->Finish();
    });
  });
  return true;
}

void BackgroundTask::Finish() {
  std::function<void()> done = std::move(link_->done);
  worker_.join();  // it posted this as its last act
  running_ = false;
  if (done) done();
}

void BackgroundTask::Wait() {
  while (running_) g_main_context_iteration(context_, TRUE);
}

}  // namespace tarn
