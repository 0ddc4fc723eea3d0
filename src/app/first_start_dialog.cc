#include "app/first_start_dialog.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/message_box.h"
#include "app/restore_dialog.h"
#include "workspace/bundled_skeleton.h"
#include "workspace/workspace_creator.h"
#include "workspace/workspace_locator.h"

namespace tarn {
namespace {

enum Response { kCreate = 1, kChoose = 2, kQuit = 3, kRestoreBackup = 4 };

}  // namespace

std::string FirstStartDialog::Run(const std::string& default_folder) {
  for (;;) {
    GtkWidget* dialog =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE,
                               "There is no blog yet. Create one in\n%s?", default_folder.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), kTitle);
    gtk_message_dialog_format_secondary_text(
        GTK_MESSAGE_DIALOG(dialog),
        "A blog is a folder of its own: posts, settings, the theme and the pages of this "
        "program. You can also make one on the command line with: tarn init FOLDER, or "
        "bring back a blog backed up with tarn backup: tarn init FOLDER --from URL");
    gtk_dialog_add_buttons(GTK_DIALOG(dialog), kQuit, kQuit, _(kRestore), kRestoreBackup,
                           kChooseFolder, kChoose, kCreateHere, kCreate, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), kCreate);
    std::printf("dialog: %s: no blog in %s\n", kTitle, default_folder.c_str());
    std::fflush(stdout);
    int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    if (response == kCreate) {
      // The documents folder itself may not have been made yet.
      std::string parent = std::filesystem::path(default_folder).parent_path().string();
      g_mkdir_with_parents(parent.c_str(), 0755);
      if (CreateBlog(nullptr, default_folder)) return default_folder;
    } else if (response == kRestoreBackup) {
      std::string restored = RestoreDialog::Run(nullptr, default_folder);
      if (!restored.empty()) return restored;
    } else if (response == kChoose) {
      std::string chosen = ChooseBlog(nullptr, default_folder);
      if (!chosen.empty()) return chosen;
    } else {
      return "";
    }
  }
}

std::string FirstStartDialog::ChooseBlog(GtkWindow* parent, const std::string& start) {
  GtkWidget* chooser = gtk_file_chooser_dialog_new(
      "Open a blog", parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel", GTK_RESPONSE_CANCEL,
      "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_create_folders(GTK_FILE_CHOOSER(chooser), TRUE);
  // Without a folder to start in, the chooser shows its recent files, where
  // no folder can be chosen.
  std::string shown = start;
  while (!shown.empty() && !g_file_test(shown.c_str(), G_FILE_TEST_IS_DIR))
    shown = std::filesystem::path(shown).parent_path().string();
  if (shown.empty() || shown == "/") shown = g_get_home_dir();
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), shown.c_str());
  std::string folder;
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
      folder = name;
      g_free(name);
    }
  }
  gtk_widget_destroy(chooser);
  if (folder.empty() || WorkspaceLocator::HoldsWorkspace(folder)) return folder;
  std::string question = folder + " holds no blog. Create one there?";
  if (MessageBox::Ask(parent, question, kTitle, false) != MessageAnswer::kYes) return "";
  return CreateBlog(parent, folder) ? folder : "";
}

bool FirstStartDialog::CreateBlog(GtkWindow* parent, const std::string& folder) {
  std::string skeleton = BundledSkeleton::Find(WorkspaceLocator::ExecutableFolder());
  std::string error;
  if (skeleton.empty()) {
    error = "The blog bundled with tarn is missing (share/tarn/skeleton); reinstall tarn.";
  } else {
    // The desktop's language, as tarn init follows it.
    BundledSkeleton source(
        skeleton, BundledSkeleton::SystemLanguage(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                                  std::getenv("LANG")));
    if (WorkspaceCreator::Create(folder, source, &error)) return true;
  }
  MessageBox::ShowTimed(parent, "Cannot create a blog: " + error, "Error",
                        MessageIcon::kExclamation);
  return false;
}

}  // namespace tarn
