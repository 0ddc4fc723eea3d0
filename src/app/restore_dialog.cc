#include "app/restore_dialog.h"

#include <gtk/gtk.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/message_box.h"
#include "deploy/background_task.h"
#include "deploy/git_clone_source.h"
#include "workspace/bundled_skeleton.h"
#include "workspace/workspace_creator.h"
#include "workspace/workspace_locator.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

void Say(const std::string& line) {
  std::printf("restore: %s\n", line.c_str());
  std::fflush(stdout);
}

GtkWidget* AddRow(GtkGrid* grid, int row, const char* label, const std::string& text) {
  GtkWidget* name = gtk_label_new(label);
  gtk_widget_set_halign(name, GTK_ALIGN_END);
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(entry), text.c_str());
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  gtk_entry_set_width_chars(GTK_ENTRY(entry), 48);
  gtk_widget_set_hexpand(entry, TRUE);
  gtk_grid_attach(grid, name, 0, row, 1, 1);
  gtk_grid_attach(grid, entry, 1, row, 1, 1);
  return entry;
}

// A folder chooser that fills entry with the folder chosen.
void ChooseInto(GtkWidget* entry) {
  GtkWidget* chooser =
      gtk_file_chooser_dialog_new("Restore into", GTK_WINDOW(gtk_widget_get_toplevel(entry)),
                                  GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
                                  GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_create_folders(GTK_FILE_CHOOSER(chooser), TRUE);
  std::string shown = fs::path(gtk_entry_get_text(GTK_ENTRY(entry))).parent_path().string();
  if (g_file_test(shown.c_str(), G_FILE_TEST_IS_DIR))
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), shown.c_str());
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
      gtk_entry_set_text(GTK_ENTRY(entry), name);
      g_free(name);
    }
  }
  gtk_widget_destroy(chooser);
}

// The window that shows the restore's progress: a spinner, what is being
// done and git's output as it arrives. Its Cancel button and its close
// button set *cancel; the window stays until the restore has ended.
class ProgressWindow {
 public:
  ProgressWindow(GtkWindow* parent, const std::string& doing, std::atomic<bool>* cancel)
      : cancel_(cancel) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), _(RestoreDialog::kTitle));
    gtk_window_set_default_size(GTK_WINDOW(window_), 560, 300);
    gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
    if (parent) gtk_window_set_transient_for(GTK_WINDOW(window_), parent);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    GtkWidget* head = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    GtkWidget* spinner = gtk_spinner_new();
    gtk_spinner_start(GTK_SPINNER(spinner));
    label_ = gtk_label_new(doing.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label_), TRUE);
    gtk_label_set_xalign(GTK_LABEL(label_), 0);
    gtk_box_pack_start(GTK_BOX(head), spinner, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(head), label_, TRUE, TRUE, 0);
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_view_set_monospace(GTK_TEXT_VIEW(view), TRUE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
    buffer_ = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_container_add(GTK_CONTAINER(scroll), view);
    GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
    cancel_button_ = gtk_button_new_with_label(RestoreDialog::kCancel);
    g_signal_connect_swapped(cancel_button_, "clicked", G_CALLBACK(OnCancel), this);
    gtk_container_add(GTK_CONTAINER(buttons), cancel_button_);
    gtk_box_pack_start(GTK_BOX(box), head, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), scroll, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window_), box);
    gtk_widget_show_all(window_);
  }
  ~ProgressWindow() { gtk_widget_destroy(window_); }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  void Append(const std::string& text) {
    // git's progress lines end in a carriage return; each shows as a line.
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string chunk = valid;
    g_free(valid);
    for (char& c : chunk)
      if (c == '\r') c = '\n';
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buffer_, &end);
    gtk_text_buffer_insert(buffer_, &end, chunk.c_str(), static_cast<gint>(chunk.size()));
  }

 private:
  // The restore stops at git's next look at the flag (a fraction of a
  // second); until then the window says so and offers nothing more.
  static void OnCancel(ProgressWindow* self) {
    if (self->cancel_->exchange(true)) return;
    Say("cancelling");
    gtk_label_set_text(GTK_LABEL(self->label_), "Cancelling…");
    gtk_widget_set_sensitive(self->cancel_button_, FALSE);
  }
  static gboolean OnDelete(GtkWidget*, GdkEvent*, ProgressWindow* self) {
    OnCancel(self);
    return TRUE;  // destroyed by its owner once the restore has ended
  }

  std::atomic<bool>* cancel_;
  GtkWidget* window_;
  GtkWidget* label_;
  GtkWidget* cancel_button_;
  GtkTextBuffer* buffer_;
};

// The outermost folder on the way to path that does not exist yet ("" when
// path exists).
std::string FirstMissing(const fs::path& path) {
  std::error_code ec;
  fs::path missing;
  for (fs::path at = path; !at.empty() && !fs::exists(at, ec); at = at.parent_path()) {
    missing = at;
    if (at == at.parent_path()) break;
  }
  return missing.string();
}

}  // namespace

std::string RestoreDialog::Run(GtkWindow* parent, const std::string& default_folder) {
  std::string url;
  std::string folder = default_folder;
  for (;;) {
    if (!Ask(parent, &url, &folder)) return "";
    // A typed "~/blog" means the home folder's, as in a shell.
    std::string typed = folder.rfind("~/", 0) == 0 ? g_get_home_dir() + folder.substr(1) : folder;
    std::string target = WorkspaceLocator::Absolute(typed);
    std::string error;
    Outcome outcome = Restore(parent, url, target, &error);
    if (outcome == Outcome::kRestored) return target;
    if (outcome == Outcome::kCancelled) {
      Say("cancelled");
      continue;  // back to the question, with what was typed
    }
    Say("failed: " + error);
    MessageBox::ShowTimed(parent, "Cannot restore the blog: " + error, "Error",
                          MessageIcon::kExclamation);
  }
}

bool RestoreDialog::Ask(GtkWindow* parent, std::string* url, std::string* folder) {
  GtkWidget* dialog =
      gtk_dialog_new_with_buttons(_(kTitle), parent, GTK_DIALOG_MODAL, kCancel, GTK_RESPONSE_CANCEL,
                                  kRestore, GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 8);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 12);
  GtkWidget* intro = gtk_label_new(
      "The URL of the repository your blog was backed up to (system.sourceUrl, what tarn "
      "backup pushes to), and the folder to restore it into.");
  gtk_label_set_line_wrap(GTK_LABEL(intro), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(intro), 60);
  gtk_label_set_xalign(GTK_LABEL(intro), 0);
  gtk_grid_attach(GTK_GRID(grid), intro, 0, 0, 3, 1);
  GtkWidget* url_entry = AddRow(GTK_GRID(grid), 1, "Backup URL", *url);
  GtkWidget* folder_entry = AddRow(GTK_GRID(grid), 2, "Restore into", *folder);
  GtkWidget* choose = gtk_button_new_with_label("Choose…");
  g_signal_connect_swapped(choose, "clicked", G_CALLBACK(ChooseInto), folder_entry);
  gtk_grid_attach(GTK_GRID(grid), choose, 2, 2, 1, 1);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), grid);
  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(url_entry);
  Say("asking for the backup's URL");
  for (;;) {
    int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gchar* typed = g_strstrip(g_strdup(gtk_entry_get_text(GTK_ENTRY(url_entry))));
    *url = typed;
    g_free(typed);
    *folder = gtk_entry_get_text(GTK_ENTRY(folder_entry));
    if (response != GTK_RESPONSE_ACCEPT) break;
    std::string missing = url->empty() ? "the backup's URL" : folder->empty() ? "a folder" : "";
    if (missing.empty()) {
      gtk_widget_destroy(dialog);
      return true;
    }
    MessageBox::ShowTimed(GTK_WINDOW(dialog), "Please give " + missing + ".", "Error",
                          MessageIcon::kExclamation);
  }
  gtk_widget_destroy(dialog);
  return false;
}

RestoreDialog::Outcome RestoreDialog::Restore(GtkWindow* parent, const std::string& url,
                                              const std::string& target, std::string* error) {
  std::string skeleton = BundledSkeleton::Find(WorkspaceLocator::ExecutableFolder());
  if (skeleton.empty()) {
    *error = "the blog bundled with tarn is missing (share/tarn/skeleton); reinstall tarn";
    return Outcome::kFailed;
  }
  // The blog's parent folder (the documents folder, say) may not exist yet;
  // made for the restore, it goes again when the restore fails.
  std::string made = FirstMissing(fs::path(target).parent_path());
  if (!made.empty() && g_mkdir_with_parents(fs::path(target).parent_path().c_str(), 0755) != 0) {
    *error = "cannot create " + fs::path(target).parent_path().string() + ": " + g_strerror(errno);
    return Outcome::kFailed;
  }
  Say("restoring " + GitDeployer::WithoutPassword(url) + " into " + target);
  // Shared with the worker; task.Wait() below outlasts it anyway.
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  ProgressWindow progress(
      parent, "Restoring " + GitDeployer::WithoutPassword(url) + "\ninto " + target + "…",
      cancel.get());
  auto result = std::make_shared<std::pair<bool, std::string>>(false, "");
  BackgroundTask task;
  task.Start(
      [url, skeleton, target, result, cancel](const OutputCallback& output) {
        GitCloneSource source(url, skeleton, output, cancel.get());
        result->first = WorkspaceCreator::Create(target, source, &result->second);
      },
      [&progress](const std::string& text) { progress.Append(text); }, nullptr);
  task.Wait();
  if (result->first) {
    Say("restored " + target);
    return Outcome::kRestored;
  }
  *error = result->second;
  if (!made.empty()) {
    // Only the folders made here, and only while they are empty.
    std::error_code ec;
    for (fs::path at = fs::path(target).parent_path(); at.string().size() >= made.size();
         at = at.parent_path()) {
      if (!fs::remove(at, ec)) break;
    }
  }
  return cancel->load() ? Outcome::kCancelled : Outcome::kFailed;
}

}  // namespace tarn
