#include "deploy/scheduled_publish.h"

#include <utility>
#include <vector>

#include "deploy/due_posts.h"
#include "deploy/publish_lock.h"
#include "deploy/publish_log.h"

namespace tarn {
namespace {

std::string Join(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

ScheduledPublish::ScheduledPublish(Workspace workspace, std::time_t now, DiagnosticSink say,
                                   DiagnosticSink sink)
    : workspace_(std::move(workspace)), now_(now), say_(std::move(say)), sink_(std::move(sink)) {}

int ScheduledPublish::Run(bool due, const Publish& publish) {
  PublishLock lock(workspace_);
  long holder = 0;
  std::string error;
  switch (lock.TryTake(&holder, &error)) {
    case PublishLock::Result::kTaken:
      return RunLocked(due, publish);
    case PublishLock::Result::kFailed:
      sink_(error + "; nothing was published");
      Log(due, "failed", error);
      return 1;
    case PublishLock::Result::kBusy:
      break;
  }
  sink_(lock.BusyReason(holder));
  Log(due, "busy", lock.BusyReason(holder));
  return due ? 0 : 1;
}

int ScheduledPublish::RunLocked(bool due, const Publish& publish) {
  DuePosts record(workspace_);
  std::vector<PostFile> posts = DuePosts::Read(workspace_);
  if (due) {
    std::vector<std::string> names = record.Due(posts, now_);
    if (record.published_before() && names.empty()) {
      say_("nothing is due");
      Log(due, "nothing due", "");
      return 0;
    }
    say_(record.published_before() ? "due: " + Join(names) : "nothing was published yet");
  }
  std::string message;
  if (!publish(&message)) {
    Log(due, "failed", message);
    return 1;
  }
  std::string error;
  if (!record.Record(posts, now_, &error)) {
    sink_(error + "; the next tarn publish --due publishes again");
    Log(due, "failed", error);
    return 1;
  }
  Log(due, "published",
      record.published_before() ? Join(record.Due(posts, now_)) : "the first publish");
  return 0;
}

void ScheduledPublish::Log(bool due, const std::string& outcome, const std::string& detail) const {
  if (!due) return;
  std::string error;
  if (!PublishLog(workspace_).Append(now_, outcome, detail, &error)) sink_(error);
}

}  // namespace tarn
