#include "net/update_check_task.h"

#include <thread>
#include <utility>

namespace tarn {

UpdateCheckTask::UpdateCheckTask(GMainContext* context, Found found, UpdateChecker checker)
    : shared_(std::make_shared<Shared>(Shared{std::move(found)})) {
  std::weak_ptr<Shared> weak = shared_;
  g_main_context_ref(context);
  std::thread([weak, context, checker = std::move(checker)] {
    UpdateNotice notice;
    if (checker.CheckForUpdate(&notice)) {
      struct Delivery {
        std::weak_ptr<Shared> shared;
        UpdateNotice notice;
      };
      // An idle source, not g_main_context_invoke: that may run the callback
      // right here when this thread can acquire the context.
      GSource* source = g_idle_source_new();
      g_source_set_callback(
          source,
          [](gpointer data) -> gboolean {
            auto* delivery = static_cast<Delivery*>(data);
            if (std::shared_ptr<Shared> shared = delivery->shared.lock()) {
              if (shared->found) shared->found(delivery->notice);
            }
            return G_SOURCE_REMOVE;
          },
          new Delivery{weak, std::move(notice)},
          [](gpointer data) { delete static_cast<Delivery*>(data); });
      g_source_attach(source, context);
      g_source_unref(source);
    }
    g_main_context_unref(context);
  }).detach();
}

// The thread holds a weak reference only: dropping the last strong one is
// what keeps a late notice from reaching a destroyed owner.
UpdateCheckTask::~UpdateCheckTask() = default;

}  // namespace tarn
