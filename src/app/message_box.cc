#include "app/message_box.h"

#include <cstdio>

#include <glib/gi18n.h>
#include <gtk/gtk.h>

namespace tarn {
namespace {

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return "dialog-information";
    case MessageIcon::kExclamation:
      return "dialog-warning";
    case MessageIcon::kQuestion:
      return "dialog-question";
    case MessageIcon::kNone:
      break;
  }
  return nullptr;
}

void Echo(const std::string& caption, const std::string& text) {
  std::string flat = text;
  for (char& c : flat) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::printf("message: %s: %s\n", caption.c_str(), flat.c_str());
  std::fflush(stdout);
}

// A dialog with the caption as its title, the icon beside the text, and no
// buttons yet. GTK's own message dialog no longer shows icons, and the
// exclamation mark is part of some messages.
GtkWidget* NewBox(GtkWindow* parent, const std::string& text, const std::string& caption,
                  MessageIcon icon) {
  GtkWidget* dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
  if (parent) gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
  gtk_window_set_position(GTK_WINDOW(dialog), parent && gtk_widget_get_visible(GTK_WIDGET(parent))
                                                  ? GTK_WIN_POS_CENTER_ON_PARENT
                                                  : GTK_WIN_POS_CENTER);
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_container_set_border_width(GTK_CONTAINER(row), 12);
  if (const char* name = IconName(icon)) {
    GtkWidget* image = gtk_image_new_from_icon_name(name, GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(image, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
  }
  GtkWidget* label = gtk_label_new(text.c_str());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row, TRUE, TRUE, 0);
  gtk_widget_show_all(row);
  return dialog;
}

struct Countdown {
  GtkWidget* dialog;
  bool fired = false;
};

gboolean CloseBox(gpointer data) {
  auto* countdown = static_cast<Countdown*>(data);
  countdown->fired = true;
  gtk_dialog_response(GTK_DIALOG(countdown->dialog), GTK_RESPONSE_OK);
  return G_SOURCE_REMOVE;
}

}  // namespace

void MessageBox::ShowTimed(GtkWindow* parent, const std::string& text, const std::string& caption,
                           MessageIcon icon, int timeout_ms) {
  Echo(caption, text);
  GtkWidget* dialog = NewBox(parent, text, caption, icon);
  gtk_dialog_add_button(GTK_DIALOG(dialog), _("确定"), GTK_RESPONSE_OK);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  Countdown countdown{dialog};
  guint timer = g_timeout_add(static_cast<guint>(timeout_ms), CloseBox, &countdown);
  gtk_dialog_run(GTK_DIALOG(dialog));
  if (!countdown.fired) g_source_remove(timer);
  gtk_widget_destroy(dialog);
}

void MessageBox::ShowNotice(const std::string& text, const std::string& caption, MessageIcon icon,
                            int timeout_ms) {
  Echo(caption, text);
  GtkWidget* dialog = NewBox(nullptr, text, caption, icon);
  gtk_window_set_modal(GTK_WINDOW(dialog), FALSE);
  gtk_window_set_focus_on_map(GTK_WINDOW(dialog), FALSE);
  gtk_dialog_add_button(GTK_DIALOG(dialog), _("确定"), GTK_RESPONSE_OK);
  g_signal_connect_swapped(dialog, "response", G_CALLBACK(gtk_widget_destroy), dialog);
  // The timer holds its own reference: the user may have closed the box.
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(timeout_ms),
      [](gpointer data) -> gboolean {
        gtk_widget_destroy(GTK_WIDGET(data));
        return G_SOURCE_REMOVE;
      },
      g_object_ref(dialog), g_object_unref);
  gtk_widget_show(dialog);
}

MessageAnswer MessageBox::Ask(GtkWindow* parent, const std::string& text,
                              const std::string& caption, bool with_cancel, MessageIcon icon) {
  Echo(caption, text);
  GtkWidget* dialog = NewBox(parent, text, caption, icon);
  gtk_dialog_add_button(GTK_DIALOG(dialog), _("是(_Y)"), GTK_RESPONSE_YES);
  gtk_dialog_add_button(GTK_DIALOG(dialog), _("否(_N)"), GTK_RESPONSE_NO);
  if (with_cancel) gtk_dialog_add_button(GTK_DIALOG(dialog), _("取消"), GTK_RESPONSE_CANCEL);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_YES);
  int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  if (response == GTK_RESPONSE_YES) return MessageAnswer::kYes;
  if (response == GTK_RESPONSE_NO) return MessageAnswer::kNo;
  return with_cancel ? MessageAnswer::kCancel : MessageAnswer::kNo;
}

}  // namespace tarn
