// FirstStartDialog: what the desktop program shows when no blog has been
// opened yet and its default folder holds none: make a blog there, choose
// another folder (an existing blog opens, an empty folder gets a new blog),
// restore a backed-up blog ("从备份恢复", RestoreDialog), or quit. Also the
// folder chooser of "Open another blog…".
//
// Thread safety: user-interface thread only.
#pragma once

#include <glib/gi18n.h>

#include <string>

typedef struct _GtkWindow GtkWindow;

namespace tarn {

class FirstStartDialog {
 public:
  static constexpr char kTitle[] = "Tarn Blog Editor";
  static constexpr char kCreateHere[] = "Create here";
  static constexpr char kChooseFolder[] = "Choose another folder…";
  static constexpr const char* kRestore = N_("从备份恢复");
  static constexpr char kQuit[] = "Quit";

  // Asks until the user has a blog or quits. Returns the blog's folder, or
  // "" when the user quit. Failures (a blog that cannot be made, a restore
  // that failed) are shown, and the question is asked again.
  static std::string Run(const std::string& default_folder);

  // A folder chooser over parent, showing the folder start (where it
  // exists) first. Returns the folder of a blog: one chosen
  // that holds a blog, or a new blog made in the chosen folder when the
  // user agrees. "" when cancelled or when no blog could be made (said in a
  // message box).
  static std::string ChooseBlog(GtkWindow* parent, const std::string& start);

 private:
  // Makes a blog from the bundled skeleton in folder (WorkspaceCreator,
  // which leaves nothing behind on failure); on failure shows why and
  // returns false.
  static bool CreateBlog(GtkWindow* parent, const std::string& folder);
};

}  // namespace tarn
