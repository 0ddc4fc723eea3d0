#include "app/editor_window.h"

#include <gtk/gtk.h>

#include "app/app_state.h"
#include "app/browser_view.h"

namespace tarn {
namespace {

constexpr int kWidth = 670;
constexpr int kHeight = 700;
constexpr int kTop = 50;

}  // namespace

EditorWindow::EditorWindow(AppState* state) : state_(state) {}

EditorWindow::~EditorWindow() {
  if (window_) {
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
  }
}

GtkWindow* EditorWindow::window() const { return window_ ? GTK_WINDOW(window_) : nullptr; }

void EditorWindow::Open() {
  if (window_) {
    gtk_window_present(GTK_WINDOW(window_));
    return;
  }
  retired_.reset();
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), kTitle);
  gtk_window_set_default_size(GTK_WINDOW(window_), kWidth, kHeight);
  gtk_window_move(GTK_WINDOW(window_), 50, kTop);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);

  view_ = std::make_unique<BrowserView>();
  gtk_container_add(GTK_CONTAINER(window_), view_->widget());
  gtk_widget_show_all(window_);

  std::string page = state_->templateDir + kPage;
  if (g_file_test(page.c_str(), G_FILE_TEST_IS_REGULAR)) {
    view_->LoadFile(page);
  } else {
    view_->ShowErrorPage("The post editor page is missing",
                         "Looked for: " + page +
                             "\n\nThe workspace's template/ folder should hold editor.html.");
  }
}

void EditorWindow::OnDestroy(GtkWidget*, EditorWindow* self) {
  self->window_ = nullptr;
  // The view's widget went with the window. The object is kept until the
  // next Open: this may run while one of its own waits is on the stack.
  self->retired_ = std::move(self->view_);
  if (self->closed_handler_) self->closed_handler_();
}

}  // namespace tarn
