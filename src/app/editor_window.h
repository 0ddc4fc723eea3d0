// EditorWindow: the post editor's window. Its view shows
// template/editor.html, the Markdown editor page; text moves between the page
// and post files through the page's setValue and getValue, and the page's
// showMsg says how a save went.
//
// Ctrl+S saves. It is the window's own shortcut, not a system-wide one: a
// key listener in the page calls the native save function, so it works
// while the window has the focus and other programs keep their Ctrl+S. A
// post opened from a file is saved back to that file, and the window's
// title names it; a new post asks where to save, every time, suggesting its
// front matter's title (else its first "# " heading) as the name. Every
// write is atomic (WriteTextFile), and a failed one is shown in the page
// and in a message box while the text stays in the editor.
//
// Unsaved text is kept safe: every few seconds a changed text is copied to
// the workspace's autosave folder (AutosaveStore), offered back when the
// post is next opened and removed once it is saved; opening another post
// over unsaved changes asks first.
//
// Images pasted from the clipboard or dropped on the editor are stored in
// static/images/ and linked at the cursor (EditorImages). The page's
// preview button saves, builds and shows the post's article page in the
// browser, through the preview handler. The page's history button lists
// the post's earlier versions and puts one back (EditorHistory). A new
// post's save asks where to save it (PostSaveDialog).
//
// The page's focus mode (F11) puts the window in full screen and back
// through tarnFullscreen. With TARN_PAGE_TRACE set in the environment the
// page may also call tarnTrace(text), written out as "page: TEXT": what its
// writing tools show, for the GUI tests to wait on.
//
// The view only ever shows the editor page: a link clicked in the preview
// or a file dropped outside the text would otherwise replace the page and
// lose the text. Web links open in the desktop's browser instead.
//
// The object outlives its windows: Open makes a window (and its view),
// closing it destroys both, and the next Open makes new ones. The view of a
// closed window is kept until then, since the close may come while one of
// the view's own waits is on the stack; every method that waits on the page
// checks afterwards that the window is still the same.
//
// Thread safety: user-interface thread only.
#pragma once

#include <glib/gi18n.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/editor_front_matter.h"
#include "app/editor_history.h"
#include "app/editor_images.h"
#include "app/page_probe.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;

namespace tarn {

struct AppState;
class BrowserView;

class EditorWindow {
 public:
  static constexpr const char* kTitle = N_("Tarn Blog Editor - 编辑");
  static constexpr int kWidth = 670;
  static constexpr int kHeight = 700;
  static constexpr int kLeft = 50;
  static constexpr int kTop = 50;
  // The view leaves this many pixels of the window's height below it.
  static constexpr int kViewShortfall = 10;
  static constexpr const char* kSaved = N_("保存成功");
  static constexpr const char* kSaveFailed = N_("保存失败");
  static constexpr const char* kCloseCaption = N_("是否关闭？");
  static constexpr const char* kCloseText =
      N_("窗口即将关闭，是否已保存文件？\n【是】关闭\n【否】不关闭");
  static constexpr const char* kUnsavedCaption = N_("未保存的修改");
  static constexpr const char* kRestoreCaption = N_("恢复未保存的内容");
  // How often a changed text is copied to the autosave folder.
  static constexpr unsigned kAutosaveMs = 2000;

  // state is not owned and must outlive the window.
  explicit EditorWindow(AppState* state);
  ~EditorWindow();
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // Creates the window and starts loading the editor page (an error page
  // when template/editor.html is missing), or brings the open window to the
  // front. The post the window works on is state->postPath, when
  // state->editingExisting.
  void Open();

  // Waits for the open window's page, then puts the text of the post at path
  // into the editor, unchanged. Until then Ctrl+S does nothing, so an empty
  // editor is never saved over the post. Returns false when the window went
  // away meanwhile, or when the file cannot be read or the page refuses the
  // text (both are shown to the user; the editor then saves as a new post).
  // Offers the autosaved copy of the post when one differs from its text,
  // then says "editor: editing PATH" (SayEditing).
  bool LoadPost(const std::string& path);

  // For a new post: waits for the page, then offers the autosaved copy of an
  // unsaved new post, if there is one. Does nothing when the window went
  // away or a post was opened meanwhile.
  void OfferNewPostCopy();
  // Waits for the open window's page and, when the editor is empty, starts
  // a new post: front matter with an empty title, the date now and an empty
  // tags list. Text already in the editor is never replaced. Says
  // "editor: editing a new post" (SayEditing). Returns false when the window
  // went away or the page did not answer.
  bool StartNewPost();

  // Saves the editor's text (Ctrl+S): to the post it was opened on, or, for
  // a new post, where the user chooses. Failures are shown, never reported
  // as success. Does nothing while the window is closed, a save is running,
  // or a post is still being put into the editor. Returns true when the text
  // was written, with its path in *saved_path when given.
  bool Save(std::string* saved_path = nullptr);

  // True while the open editor holds text that differs from what was last
  // opened or saved; false while closed, while a post is being put into the
  // editor, or when the page cannot give its text.
  bool HasUnsavedChanges();

  // Before the editor's text is replaced or dropped: when it has unsaved
  // changes, asks whether to save them first. Returns false when the user
  // cancelled or the save failed (the text must stay). "No" also removes
  // the autosaved copy.
  bool ConfirmDiscard();

  // The post the editor works on has gone (moved to the trash): the editor
  // lets go of its path and keeps its text as an unsaved new post, so the
  // next save asks where to save rather than bringing the post back.
  void LetGoOfPost();

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

  // Called after each successful save (the manager's list changes).
  void set_saved_handler(std::function<void()> handler) { saved_handler_ = std::move(handler); }

  // Called with the saved post's path when the page asks to see it as a
  // reader will (build, then open the article page).
  void set_preview_handler(std::function<void(const std::string&)> handler) {
    preview_handler_ = std::move(handler);
  }

 private:
  static int OnDeleteEvent(GtkWidget* widget, void* event, EditorWindow* self);
  static void OnDestroy(GtkWidget* widget, EditorWindow* self);
  static int OnDecidePolicy(void* view, void* decision, int type, EditorWindow* self);
  // Says "editor: full screen on|off" when the window enters or leaves
  // full screen (focus mode asks for it through tarnFullscreen).
  static int OnWindowState(GtkWidget* widget, void* event, EditorWindow* self);

  // The view's page, its layout in the window, its native functions and
  // Ctrl+S's key listener.
  void CreateView();
  // The page's native functions beyond Ctrl+S: the preview, a pasted image,
  // the history; and the files dropped on the text.
  void BindPageFunctions();
  // Saves, then hands the post to the preview handler.
  void PreviewPost();
  // The title for the post at path ("" for a new post).
  void UpdateTitle(const std::string& path);
  // The autosave key of the text in the editor ("" for a new post).
  std::string AutosaveKey() const;
  // Offers the autosaved copy under key when it differs from current.
  void OfferCopy(const std::string& key, const std::string& current);
  // Prints "editor: editing PATH" ("a new post" for "") on standard output,
  // beside the program's other progress lines: the text is in the editor,
  // and keys typed from now on edit it.
  static void SayEditing(const std::string& path);
  // Says which dictionaries check the post ("editor: spelling en_US").
  static void SaySpelling(const std::vector<std::string>& languages);
  // The timer's turn: copies a changed text, or drops a copy no longer
  // needed.
  void AutosaveTick();
  // The editor's text through getValue; false when the page cannot give it.
  bool PageText(std::string* text, std::string* error);
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
  std::function<void()> saved_handler_;
  std::function<void(const std::string&)> preview_handler_;
  std::string saved_text_;      // the text as last opened or saved
  std::string autosaved_text_;  // the text of the last autosaved copy
  unsigned autosave_timer_ = 0;
  bool autosaving_ = false;
  bool saving_ = false;
  bool awaiting_text_ = false;  // a post is being put into the editor
  EditorImages images_;
  EditorHistory history_;
  EditorFrontMatter front_matter_;
  PageProbe probe_;  // the tests' look into the page (TARN_PAGE_PROBE)
};

}  // namespace tarn
