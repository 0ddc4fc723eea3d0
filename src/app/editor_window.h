// EditorWindow: the post editor's window. Its view shows
// template/editor.html, the Markdown editor page; text moves between the page
// and post files through the page's setValue and getValue, and the page's
// showMsg says how a save went.
//
// Ctrl+S saves. It is the window's own shortcut, active while the window has
// the focus (the page passes it on): other programs keep their Ctrl+S. A post opened from a file is
// saved back to that file; a new post asks where to save, every time. Every
// write is atomic, and a failed one is shown in the page and in a message
// box while the text stays in the editor.
//
// The view only ever shows the editor page: a link clicked in the preview
// or a file dropped outside the text would otherwise replace the page and
// lose the text. Web links open in the desktop's browser instead.
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
  static constexpr int kWidth = 670;
  static constexpr int kHeight = 700;
  static constexpr int kLeft = 50;
  static constexpr int kTop = 50;
  // The view leaves this many pixels of the window's height below it.
  static constexpr int kViewShortfall = 10;
  static constexpr char kSaveTitle[] = "选择文件保存位置";
  static constexpr char kSaveFilter[] = "Markdown文件(*.md)";
  static constexpr char kSaved[] = "保存成功";
  static constexpr char kSaveFailed[] = "保存失败";
  static constexpr char kCloseCaption[] = "是否关闭？";
  static constexpr char kCloseText[] = "窗口即将关闭，是否已保存文件？\n【是】关闭\n【否】不关闭";

  // state is not owned and must outlive the window.
  explicit EditorWindow(AppState* state);
  ~EditorWindow();
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // Creates the window and starts loading the editor page, or brings the
  // open window to the front.
  void Open();

  // Waits for the open window's page, then puts the text of the post at path
  // into the editor, unchanged. Until then Ctrl+S does nothing, so an empty
  // editor is never saved over the post. Returns false when the window went
  // away meanwhile, or when the file cannot be read or the page refuses the
  // text (both are shown to the user; the editor then saves as a new post).
  bool LoadPost(const std::string& path);

  // Waits for the open window's page and, when the editor is empty, starts
  // a new post: front matter with an empty title, the date now and an empty
  // tags list. Text already in the editor is never replaced. Returns false
  // when the window went away or the page did not answer.
  bool StartNewPost();

  // Saves the editor's text (Ctrl+S): to the post it was opened on, or, for
  // a new post, where the user chooses. Failures are shown, never reported
  // as success. Does nothing while the window is closed, a save is running,
  // or a post is still being put into the editor.
  void Save();

  bool is_open() const { return window_ != nullptr; }
  GtkWindow* window() const;
  // The editor page's view; null while closed.
  BrowserView* view() const { return view_.get(); }

  // Called after the window has gone (the main window shows itself again).
  void set_closed_handler(std::function<void()> handler) { closed_handler_ = std::move(handler); }

  // Called when the user cancels the save dialog of a new post (the manager
  // page is rendered again and reloaded).
  void set_save_cancelled_handler(std::function<void()> handler) {
    save_cancelled_handler_ = std::move(handler);
  }

 private:
  static int OnDeleteEvent(GtkWidget* widget, void* event, EditorWindow* self);
  static void OnDestroy(GtkWidget* widget, EditorWindow* self);
  static int OnDecidePolicy(void* view, void* decision, int type, EditorWindow* self);

  // The file chosen in the save dialog, ".md" added when it has no
  // extension; "" when the user cancelled.
  std::string AskSavePath(const std::string& folder);
  // Shows message in the page (as an error) and in a message box.
  void ShowFailure(const std::string& message);
  // Calls the page's showMsg; a page that cannot take it is left alone.
  void ShowInPage(const std::string& text, int kind);
  // The editor page's file: URI.
  std::string PageUri() const;

  AppState* state_;
  GtkWidget* window_ = nullptr;
  std::unique_ptr<BrowserView> view_;
  std::unique_ptr<BrowserView> retired_;
  std::function<void()> closed_handler_;
  std::function<void()> save_cancelled_handler_;
  bool saving_ = false;
  bool awaiting_text_ = false;  // a post is being put into the editor
};

}  // namespace tarn
