// EditorImages: images put into the post editor, pasted from the clipboard
// or dropped on the text as files. Each is stored in the workspace's
// static/images/ (ImageStore) and linked at the cursor through the page's
// insertText. Files dropped on the text are taken before the page sees them
// (FileDrop); a file that is no image is refused. A photo larger than
// kLongSide pixels on its long side or kMaxBytes is stored scaled down,
// upright and without its metadata (ImageProcessor::Shrink: no GPS position
// goes out with it), and the page's notice says so and offers to keep the
// original: its bytes wait in originals_dir (the workspace's
// .tarn/originals/) under the stored image's name until KeepOriginal puts
// them in the scaled copy's place, or until the editor starts after the
// scaled copy is deleted or ImageStore::kOriginalDays have passed
// (ImageStore::RemoveStaleOriginals).
//
// Every failure (an unreadable file, no image, no room, a page that takes
// no link) is shown through the fail function; nothing is returned.
//
// Thread safety: user-interface thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "app/file_drop.h"

typedef struct _GtkWidget GtkWidget;

namespace tarn {

class BrowserView;

class EditorImages {
 public:
  static constexpr int kLongSide = 2560;
  static constexpr std::size_t kMaxBytes = 2 * 1024 * 1024;

  // images_dir: where images are stored; originals_dir: where the originals
  // of scaled photos are kept. view gives the editor page's view, null
  // while the editor is closed; fail shows a failure in the editor, notice
  // what was done to a photo.
  EditorImages(std::string images_dir, std::string originals_dir,
               std::function<BrowserView*()> view, std::function<void(const std::string&)> fail,
               std::function<void(const std::string&)> notice);
  EditorImages(const EditorImages&) = delete;
  EditorImages& operator=(const EditorImages&) = delete;

  // Takes the files dropped on view from now on. Call once for each view the
  // editor makes; this object must outlive the view's widget.
  void TakeDrops(BrowserView* view);

  // Stores and links the clipboard's image; nothing when the clipboard
  // holds none or the editor is closed.
  void Paste();

  // Replaces the stored image named name (a name Insert gave a scaled
  // photo) with the original kept for it, atomically, and says so through
  // notice. A name with no original kept, or a failed write, is shown
  // through fail and changes nothing.
  void KeepOriginal(const std::string& name);

 private:
  static int OnDragDrop(GtkWidget* widget, void* context, int x, int y, unsigned time,
                        EditorImages* self);
  static void OnDragDataReceived(GtkWidget* widget, void* context, int x, int y, void* data,
                                 unsigned info, unsigned time, EditorImages* self);
  // Stores bytes (named original_name where they came from) and links them.
  void Insert(const std::string& original_name, const std::string& bytes);
  // Keeps bytes, the original of the scaled photo stored as name, and
  // offers it in the page beside text. Without room for the original, text
  // is shown with the reason and no offer.
  void OfferOriginal(const std::string& name, const std::string& bytes, const std::string& text);

  std::string images_dir_;
  std::string originals_dir_;
  std::function<BrowserView*()> view_;
  std::function<void(const std::string&)> fail_;
  std::function<void(const std::string&)> notice_;
  FileDrop drop_;
};

}  // namespace tarn
