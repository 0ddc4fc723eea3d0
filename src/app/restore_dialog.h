// RestoreDialog: "从备份恢复", the first-start dialog's way back to a blog
// backed up with tarn backup: asks for the backup's URL and the folder to
// restore into, then restores as `tarn init DIR --from URL` does (a
// GitCloneSource filled into place by WorkspaceCreator). The clone runs on
// a worker thread while a progress window shows git's output, so the
// program stays responsive however slow the remote is; its Cancel button
// (or closing it) stops git and returns to the question. A failed or
// cancelled restore leaves nothing behind: WorkspaceCreator removes its
// staging folder, and a parent folder made for the restore is removed
// again. A failure is shown with its reason.
//
// Each step is written to standard output ("restore: ..."), as the
// program's other events are.
//
// Thread safety: user-interface thread only.
#pragma once

#include <glib/gi18n.h>

#include <string>

typedef struct _GtkWindow GtkWindow;

namespace tarn {

class RestoreDialog {
 public:
  static constexpr const char* kTitle = N_("从备份恢复");
  static constexpr char kRestore[] = "Restore";
  static constexpr char kCancel[] = "Cancel";

  // Asks, restores and returns the restored blog's folder; "" when the user
  // cancelled or the restore failed (said in a message box).
  static std::string Run(GtkWindow* parent, const std::string& default_folder);

 private:
  enum class Outcome { kRestored, kFailed, kCancelled };

  // The question; false when cancelled. *folder comes in as the suggestion.
  static bool Ask(GtkWindow* parent, std::string* url, std::string* folder);
  // The restore into target (absolute) with its progress window; the
  // reason of a failure in *error.
  static Outcome Restore(GtkWindow* parent, const std::string& url, const std::string& target,
                         std::string* error);
};

}  // namespace tarn
