#include "app/page_probe.h"

#include <cstdio>

#include <gio/gio.h>

#include "app/browser_view.h"
#include "data/text_file.h"

namespace tarn {

PageProbe::PageProbe(std::function<BrowserView*()> view) : view_(std::move(view)) {
  const char* folder = g_getenv(kVariable);
  if (!folder || !*folder) return;
  GFile* dir = g_file_new_for_path(folder);
  GError* error = nullptr;
  monitor_ = g_file_monitor_directory(dir, G_FILE_MONITOR_NONE, nullptr, &error);
  g_object_unref(dir);
  if (!monitor_) {
    std::fprintf(stderr, "tarn: %s: cannot watch the folder: %s\n", folder, error->message);
    g_error_free(error);
    return;
  }
  g_signal_connect(monitor_, "changed", G_CALLBACK(OnChanged), this);
}

PageProbe::~PageProbe() {
  if (!monitor_) return;
  g_signal_handlers_disconnect_by_data(monitor_, this);
  g_object_unref(monitor_);
}

void PageProbe::OnChanged(GFileMonitor*, void* file, void*, int event, PageProbe* self) {
  // The tests move a finished file in; a rename into the folder is a
  // creation to a monitor that does not follow moves.
  if (event != G_FILE_MONITOR_EVENT_CREATED) return;
  gchar* path = g_file_get_path(G_FILE(file));
  if (path) self->Answer(path);
  g_free(path);
}

void PageProbe::Answer(const std::string& path) {
  gchar* name = g_path_get_basename(path.c_str());
  std::string script;
  std::string value;
  std::string error;
  BrowserView* view = view_();
  bool ok = ReadTextFile(path, &script, &error);
  if (ok && !view) {
    ok = false;
    error = "no page is shown";
  }
  // The global eval, called indirectly, runs the text in the page's global
  // scope.
  if (ok) ok = view->CallFunction("eval", {script}, &value, &error);
  std::string line = ok ? value : "error: " + error;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::printf("probe: %s %s\n", name, line.c_str());
  std::fflush(stdout);
  g_free(name);
}

}  // namespace tarn
