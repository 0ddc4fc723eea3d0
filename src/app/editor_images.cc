#include "app/editor_images.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <utility>
#include <vector>

#include <glib/gi18n.h>
#include <gtk/gtk.h>

#include "app/browser_view.h"
#include "data/text_file.h"
#include "data/translation.h"
#include "image/module_image_processor.h"
#include "workspace/image_store.h"

namespace tarn {

EditorImages::EditorImages(std::string images_dir, std::string originals_dir,
                           std::function<BrowserView*()> view,
                           std::function<void(const std::string&)> fail,
                           std::function<void(const std::string&)> notice)
    : images_dir_(std::move(images_dir)),
      originals_dir_(std::move(originals_dir)),
      view_(std::move(view)),
      fail_(std::move(fail)),
      notice_(std::move(notice)) {
  ImageStore::RemoveStaleOriginals(originals_dir_, images_dir_, std::time(nullptr));
}

void EditorImages::TakeDrops(BrowserView* view) {
  g_signal_connect(view->widget(), "drag-drop", G_CALLBACK(OnDragDrop), this);
  g_signal_connect(view->widget(), "drag-data-received", G_CALLBACK(OnDragDataReceived), this);
}

void EditorImages::Insert(const std::string& original_name, const std::string& bytes) {
  std::string name;
  std::string error;
  std::string shrunk;
  std::string done;
  ModuleImageProcessor processor;
  const bool scaled = processor.Shrink(bytes, kLongSide, kMaxBytes, &shrunk, &done);
  if (!ImageStore::Save(images_dir_, original_name, scaled ? shrunk : bytes, std::time(nullptr),
                        &name, &error)) {
    fail_(_("图片保存失败\n") + error);
    return;
  }
  std::printf("editor: image saved %s/%s\n", images_dir_.c_str(), name.c_str());
  if (scaled) {
    std::printf("editor: image scaled %s (%s)\n", name.c_str(), done.c_str());
    OfferOriginal(
        name, bytes,
        Translation::Format(_("%s: a large photo, saved smaller and without its metadata (%s)"),
                            name.c_str(), done.c_str()));
  }
  std::fflush(stdout);
  std::string alt = std::filesystem::path(original_name).stem().string();
  std::string ignored;
  BrowserView* view = view_();
  if (!view ||
      !view->CallFunction("insertText", {ImageStore::MarkdownLink(name, alt)}, &ignored, &error)) {
    fail_(Translation::Format(_("图片已保存为 %s/%s，但无法插入链接\n%s"), images_dir_.c_str(),
                              name.c_str(), error.c_str()));
  }
}

void EditorImages::OfferOriginal(const std::string& name, const std::string& bytes,
                                 const std::string& text) {
  std::error_code ignored_code;
  std::filesystem::create_directories(originals_dir_, ignored_code);
  std::string error;
  if (!WriteTextFile((std::filesystem::path(originals_dir_) / name).string(), bytes, &error)) {
    notice_(text + "\n" + Translation::Format(_("The original is not kept: %s"), error.c_str()));
    return;
  }
  std::string ignored;
  BrowserView* view = view_();
  if (!view || !view->CallFunction("offerOriginal", {text, name}, &ignored, &error)) {
    notice_(text);
  }
}

void EditorImages::KeepOriginal(const std::string& name) {
  // Only a plain name from originals_dir_: the page must not reach elsewhere.
  if (name.empty() || name != std::filesystem::path(name).filename().string() || name == "." ||
      name == "..") {
    return;
  }
  const std::string kept = (std::filesystem::path(originals_dir_) / name).string();
  std::string bytes;
  std::string error;
  if (!ReadTextFile(kept, &bytes, &error) ||
      !WriteTextFile((std::filesystem::path(images_dir_) / name).string(), bytes, &error)) {
    fail_(_("图片保存失败\n") + error);
    return;
  }
  std::error_code ignored;
  std::filesystem::remove(kept, ignored);  // kept in static/images/ from here on
  std::printf("editor: image original kept %s\n", name.c_str());
  std::fflush(stdout);
  notice_(
      Translation::Format(_("%s: the original photo is kept, with its metadata"), name.c_str()));
}

void EditorImages::Paste() {
  if (!view_()) return;
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  GdkPixbuf* image = gtk_clipboard_wait_for_image(clipboard);
  if (!image) return;  // nothing the editor can paste
  gchar* buffer = nullptr;
  gsize size = 0;
  GError* error = nullptr;
  if (gdk_pixbuf_save_to_buffer(image, &buffer, &size, "png", &error, nullptr)) {
    Insert("", std::string(buffer, size));
  } else {
    fail_(std::string(_("图片保存失败\n")) + error->message);
    g_error_free(error);
  }
  g_free(buffer);
  g_object_unref(image);
}

int EditorImages::OnDragDrop(GtkWidget* widget, void* context, int, int, unsigned time,
                             EditorImages* self) {
  return self->drop_.Begin(widget, context, time);  // dragged text: the editor's own
}

void EditorImages::OnDragDataReceived(GtkWidget* widget, void* context, int, int, void* data,
                                      unsigned, unsigned time, EditorImages* self) {
  std::vector<std::string> files = self->drop_.Take(widget, context, data, time);
  for (const std::string& file : files) {
    std::string bytes;
    std::string error;
    if (!ReadTextFile(file, &bytes, &error)) {
      self->fail_(_("图片保存失败\n") + error);
    } else if (ImageStore::SniffExtension(bytes).empty()) {
      self->fail_(_("图片保存失败\n") + file + ": not a PNG, JPEG, GIF, WebP or BMP image");
    } else {
      self->Insert(std::filesystem::path(file).filename().string(), bytes);
    }
    if (!self->view_()) break;  // the editor closed meanwhile
  }
}

}  // namespace tarn
