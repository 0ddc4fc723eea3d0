// FileDrop: files dropped from another program onto a view, taken before
// the view's page sees them (the page would otherwise be replaced by the
// file). A window connects Begin to its view's "drag-drop" signal and Take
// to "drag-data-received".
//
// Thread safety: user-interface thread only.
#pragma once

#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace tarn {

class FileDrop {
 public:
  // On a drop: when the drag offers a list of files, asks for it and
  // returns true (the drop is taken); false leaves the drop to the page.
  bool Begin(GtkWidget* widget, void* context, unsigned time);

  // On the data: the local files of the list asked for by Begin (URIs that
  // name no local file are left out), the drop finished, and the signal
  // stopped. Data that only passes over the view (no Begin before it) gives
  // nothing and is left alone. The paths come from another program: the
  // caller checks them before use.
  std::vector<std::string> Take(GtkWidget* widget, void* context, void* data, unsigned time);

 private:
  bool dropping_ = false;  // between Begin and its data
};

}  // namespace tarn
