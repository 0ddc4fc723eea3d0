#include "app/post_save_dialog.h"

#include <glib/gi18n.h>
#include <gtk/gtk.h>

#include "app/message_box.h"
#include "content/front_matter.h"
#include "content/post_index.h"
#include "data/translation.h"
#include "workspace/contained_path.h"

namespace tarn {

std::string PostSaveDialog::Ask(GtkWindow* parent, const std::string& folder,
                                const std::string& text) {
  GtkWidget* dialog =
      gtk_file_chooser_dialog_new(_(kTitle), parent, GTK_FILE_CHOOSER_ACTION_SAVE, _("取消(_C)"),
                                  GTK_RESPONSE_CANCEL, _("保存(_S)"), GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, _(kFilter));
  gtk_file_filter_add_pattern(filter, "*.md");
  gtk_file_chooser_add_filter(chooser, filter);
  gtk_file_chooser_set_current_folder(chooser, folder.c_str());
  std::string suggested = SuggestedName(text);
  if (!suggested.empty()) gtk_file_chooser_set_current_name(chooser, suggested.c_str());
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);

  std::string path;
  while (path.empty() && gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* chosen = gtk_file_chooser_get_filename(chooser);
    if (!chosen) continue;
    path = chosen;
    g_free(chosen);
    // A post is a .md file: a name typed without that ending gets it.
    if (!PostIndex::IsPostName(path)) {
      path += ".md";
      // The dialog asked about the name as typed; ask about the real one.
      if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS) &&
          MessageBox::Ask(GTK_WINDOW(dialog),
                          Translation::Format(_("%s 已存在，是否替换？"), path.c_str()), _(kTitle),
                          false, MessageIcon::kExclamation) != MessageAnswer::kYes) {
        path.clear();
      }
    }
  }
  gtk_widget_destroy(dialog);
  return path;
}

std::string PostSaveDialog::SuggestedName(const std::string& text) {
  // The front matter's title; without one, the first "# " heading.
  FrontMatter front;
  std::string title;
  if (front.Read(text, "", {})) title = front.GetText("title");
  std::size_t at = front.body_offset();
  while (at < text.size() && title.empty()) {
    std::size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (line.rfind("# ", 0) == 0) title = line.substr(2);
    at = end == std::string::npos ? text.size() : end + 1;
  }
  std::string name = ContainedPath::NameFromTitle(title);
  return name.empty() ? "" : name + ".md";
}

}  // namespace tarn
