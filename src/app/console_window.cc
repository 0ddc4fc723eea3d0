#include "app/console_window.h"

#include <ctime>

#include <gtk/gtk.h>

namespace tarn {
namespace {

constexpr int kWidth = 380;
constexpr int kHeight = 250;

// A Chinese UI face at 12 pixels where installed, the system's otherwise.
constexpr char kStyle[] =
    "textview { font-family: \"Microsoft YaHei\", \"Noto Sans CJK SC\", sans-serif; "
    "font-size: 12px; }";

std::string ClockNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[16];
  std::strftime(buffer, sizeof buffer, "%H:%M:%S", &local);
  return buffer;
}

}  // namespace

ConsoleWindow::~ConsoleWindow() {
  if (window_) {
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
  }
}

void ConsoleWindow::Open(GtkWindow* owner) {
  if (window_) return;
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), kTitle);
  gtk_window_set_default_size(GTK_WINDOW(window_), kWidth, kHeight);
  if (owner) gtk_window_set_transient_for(GTK_WINDOW(window_), owner);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);

  view_ = gtk_text_view_new();
  gtk_text_view_set_editable(GTK_TEXT_VIEW(view_), FALSE);
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view_), GTK_WRAP_WORD_CHAR);
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kStyle, -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(view_), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
  buffer_ = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view_));
  gtk_text_buffer_set_text(buffer_, kWelcome, -1);

  GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_container_add(GTK_CONTAINER(scroll), view_);
  gtk_container_add(GTK_CONTAINER(window_), scroll);
  gtk_widget_show_all(window_);
}

int ConsoleWindow::Output(const std::string& text) {
  if (!window_) return 0;
  // git's output is UTF-8 nearly always; a stray byte must not lose the line.
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string chunk = valid;
  g_free(valid);
  // Each chunk gets its own line break; the one git ended it with would
  // only add an empty line.
  if (!chunk.empty() && chunk.back() == '\n') chunk.pop_back();
  if (!chunk.empty() && chunk.back() == '\r') chunk.pop_back();
  std::string line = ClockNow() + " : " + chunk + "\r\n";
  GtkTextIter end;
  gtk_text_buffer_get_end_iter(buffer_, &end);
  gtk_text_buffer_insert(buffer_, &end, line.c_str(), static_cast<gint>(line.size()));
  gtk_text_buffer_get_end_iter(buffer_, &end);
  GtkTextMark* mark = gtk_text_buffer_create_mark(buffer_, nullptr, &end, FALSE);
  gtk_text_view_scroll_mark_onscreen(GTK_TEXT_VIEW(view_), mark);
  gtk_text_buffer_delete_mark(buffer_, mark);
  return 0;
}

void ConsoleWindow::OnDestroy(GtkWidget*, ConsoleWindow* self) {
  self->window_ = nullptr;
  self->view_ = nullptr;
  self->buffer_ = nullptr;
}

}  // namespace tarn
