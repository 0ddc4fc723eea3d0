// PublishLog: what each `tarn publish --due` run did, for `tarn schedule
// status` and whoever looks after a timer that runs unattended. Kept in
// the workspace's .tarn/publish-due.log, one line a run: its time
// (FrontMatter::FormatNow), a tab, the outcome ("published", "nothing
// due", "busy", "failed"), a tab and what was published or why it failed,
// on one line. The newest kKeptLines lines are kept. The desktop program
// shows a failed run at its next start (UnshownFailure), once: the line it
// showed is kept in .tarn/publish-due.shown.
//
// Thread safety: none; one writer per blog at a time (PublishLock).
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace tarn {

class Workspace;

class PublishLog {
 public:
  static constexpr std::size_t kKeptLines = 1000;

  // kept_lines: how many lines the log keeps (kKeptLines but in tests).
  explicit PublishLog(const Workspace& workspace, std::size_t kept_lines = kKeptLines);

  // Adds a line (written atomically). False with *error ("PATH: reason")
  // when the log cannot be written.
  bool Append(std::time_t when, std::string_view outcome, std::string_view detail,
              std::string* error) const;

  // The newest line; "" when nothing was logged.
  std::string Last() const;

  // The newest line of a failed run when it was not shown yet (MarkShown);
  // "" otherwise.
  std::string UnshownFailure() const;
  // Notes line as shown, atomically. False with *error ("PATH: reason").
  bool MarkShown(const std::string& line, std::string* error) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string shown_path_;
  std::size_t kept_lines_;
};

}  // namespace tarn
