// EditorWindow: the post editor's window. Its view shows
// template/editor.html, the Markdown editor page; text moves between the page
// and post files through the page's setValue and getValue.
//
// Thread safety: user-interface thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;

namespace tarn {

struct AppState;
class BrowserView;

class EditorWindow {
 public:
  static constexpr char kTitle[] = "Tarn Blog Editor - 编辑";
  static constexpr char kPage[] = "editor.html";

  // state is not owned and must outlive the window.
  explicit EditorWindow(AppState* state);
  ~EditorWindow();
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // Creates the window and starts loading the editor page, or brings the
  // open window to the front.
  void Open();

  bool is_open() const { return window_ != nullptr; }
  GtkWindow* window() const;
  // The editor page's view; null while closed.
  BrowserView* view() const { return view_.get(); }

  // Called after the window has gone (the main window shows itself again).
  void set_closed_handler(std::function<void()> handler) { closed_handler_ = std::move(handler); }

 private:
  static void OnDestroy(GtkWidget* widget, EditorWindow* self);

  AppState* state_;
  GtkWidget* window_ = nullptr;
  std::unique_ptr<BrowserView> view_;
  std::unique_ptr<BrowserView> retired_;
  std::function<void()> closed_handler_;
};

}  // namespace tarn
