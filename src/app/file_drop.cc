#include "app/file_drop.h"

#include <gtk/gtk.h>

namespace tarn {

bool FileDrop::Begin(GtkWidget* widget, void* context, unsigned time) {
  auto* drag = static_cast<GdkDragContext*>(context);
  GdkAtom uri_list = gdk_atom_intern_static_string("text/uri-list");
  for (GList* target = gdk_drag_context_list_targets(drag); target; target = target->next) {
    if (GDK_POINTER_TO_ATOM(target->data) == uri_list) {
      dropping_ = true;
      gtk_drag_get_data(widget, drag, uri_list, time);
      return true;
    }
  }
  return false;
}

std::vector<std::string> FileDrop::Take(GtkWidget* widget, void* context, void* data,
                                        unsigned time) {
  std::vector<std::string> files;
  // The view also asks for the data while a drag only passes over it.
  if (!dropping_) return files;
  dropping_ = false;
  g_signal_stop_emission_by_name(widget, "drag-data-received");
  gchar** uris = gtk_selection_data_get_uris(static_cast<GtkSelectionData*>(data));
  for (gchar** uri = uris; uri && *uri; ++uri) {
    if (gchar* file = g_filename_from_uri(*uri, nullptr, nullptr)) {
      files.emplace_back(file);
      g_free(file);
    }
  }
  g_strfreev(uris);
  gtk_drag_finish(static_cast<GdkDragContext*>(context), !files.empty(), FALSE, time);
  return files;
}

}  // namespace tarn
