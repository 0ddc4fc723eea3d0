// The floor for the desktop program's start-up: a bare GTK window with a
// WebKitGTK view that loads one local page and says so, nothing else.
#include <cstdio>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event == WEBKIT_LOAD_FINISHED && !webkit_web_view_is_loading(view)) {
    std::printf("page: loaded\n");
    std::fflush(stdout);
  }
}

int main(int argc, char** argv) {
  if (argc != 2 || !gtk_init_check(&argc, &argv)) return 1;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 780, 510);
  GtkWidget* view = webkit_web_view_new();
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_widget_show_all(window);
  gchar* uri = g_filename_to_uri(argv[1], nullptr, nullptr);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
  g_free(uri);
  gtk_main();
  return 0;
}
