// ScheduledPublish: `tarn publish` under the blog's PublishLock, and
// `tarn publish --due`, which publishes only when a scheduled post has
// become due since the last successful publish or the blog was never
// published (DuePosts), so that a timer may run it every few minutes.
// Every successful publish is recorded for the next --due run; each --due
// run leaves a line in the PublishLog.
//
// A run that finds the blog being published by another one does nothing:
// exit status 1 for a publish asked for by hand, 0 for --due (the other
// run publishes what is due; a timer's run that finds it busy has not
// failed).
//
// Thread safety: none; the command line's main thread.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "data/diagnostics.h"
#include "workspace/workspace.h"

namespace tarn {

class ScheduledPublish {
 public:
  // The publish itself (build, commit, push, backup): true when it
  // succeeded; *message gets its outcome, for the log.
  using Publish = std::function<bool(std::string* message)>;

  // say: what the run tells the user (standard output); sink: reasons
  // (standard error). now: Clock::Now.
  ScheduledPublish(Workspace workspace, std::time_t now, DiagnosticSink say, DiagnosticSink sink);

  // Runs publish as described above; returns the exit status.
  int Run(bool due, const Publish& publish);

 private:
  // Publishes under the lock; with due only when something is due.
  int RunLocked(bool due, const Publish& publish);
  // Adds a --due run's line to the log, reporting why it cannot.
  void Log(bool due, const std::string& outcome, const std::string& detail) const;

  Workspace workspace_;
  std::time_t now_;
  DiagnosticSink say_;
  DiagnosticSink sink_;
};

}  // namespace tarn
