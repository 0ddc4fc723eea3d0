// MainWindow: the start-up window, "Corvel Blog Editor". Its view webMain
// shows the site manager page, which is rendered at start from
// template/index copy.html by the page's own TplRender and refreshed every
// five minutes. The page calls the five native commands bound here
// (showEditor, Rendering, RenderingAndPush, Push, showList); each reports
// in a message box that closes itself. The page's post list calls
// listPosts, showEditor(name), deletePost(name) and renamePost(name)
// (PostManager). Closing the window asks first; the
// program ends when it goes.
//
// Thread safety: user-interface thread only. The update check runs on a
// thread of its own and hands its result to the main loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/file_drop.h"
#include "app/message_box.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;

namespace tarn {

class BrowserView;
class ConsoleWindow;
class EditorWindow;
class PostManager;
class GitDeployer;
class SiteBuilder;
class TrayMode;
struct UpdateNotice;

class UpdateCheckTask;

class MainWindow {
 public:
  static constexpr char kTitle[] = "Corvel Blog Editor";
  static constexpr int kWidth = 780;
  static constexpr int kHeight = 510;
  static constexpr char kClosePrompt[] =
      "是否关闭？\n【是】关闭窗口【否】置托盘【取消】取消操作";
  static constexpr unsigned kRefreshMs = 300000;

  // None of the objects is owned; all must outlive the window.
  MainWindow(AppState* state, SiteBuilder* site, GitDeployer* deployer, ConsoleWindow* console);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates and shows the window (with its view, still empty).
  void Create();

  // The start-up sequence: folders, conf.ini, the manager page template, the
  // bound commands, the site data, the git work tree, the update check, the
  // rendered manager page and its refresh timer. Returns when the rendered
  // page has started loading.
  void StartUp();

  // Renders the manager page through the shown page's TplRender into
  // template/index.html and loads it. Shows an error page instead when the
  // template, or its TplRender, is missing or fails.
  void Refresh();

  // The commands the manager page calls.
  void ShowEditor();
  // showEditor as the page calls it: with no name (or ""), ShowEditor; with
  // the file name of a post in _posts/, that post in the editor.
  void ShowEditorFor(const std::vector<std::string>& args);
  void Rendering();
  void RenderingAndPush();
  void Push();
  void ShowList();

  // A timed message box owned by this window.
  void Message(const std::string& text, const std::string& caption,
               MessageIcon icon = MessageIcon::kNone);

  // A reason for a failure (from the site generator, the deployer): written
  // to standard error and the console, and kept for the next message.
  void Report(const std::string& reason);

  void Show();
  void Hide();
  GtkWindow* window() const;
  BrowserView* web_main() const { return web_main_.get(); }
  EditorWindow* editor() const { return editor_.get(); }
  ConsoleWindow* console() const { return console_; }

  // Handles a file dropped on the window (by default: a post opens in the
  // editor).
  void set_drop_handler(std::function<void(const std::string& path)> handler) {
    drop_handler_ = std::move(handler);
  }

 private:
  static int OnDeleteEvent(GtkWidget* widget, void* event, MainWindow* self);
  static void OnDestroy(GtkWidget* widget, MainWindow* self);
  static int OnDragDrop(GtkWidget* widget, void* context, int x, int y, unsigned time,
                        MainWindow* self);
  static void OnDragDataReceived(GtkWidget* widget, void* context, int x, int y, void* data,
                                 unsigned info, unsigned time, MainWindow* self);

  void RegisterDropTarget();
  void OpenDroppedPost(const std::string& path);
  // Opens path in the editor, asking first about unsaved changes.
  void OpenPost(const std::string& path);
  // Binds the post list's functions (listPosts, deletePost, renamePost).
  void BindListFunctions();
  // Builds the site and opens the article page of the post at path in the
  // desktop's browser, or says why not.
  void PreviewAsReader(const std::string& path);
  void StartUpdateCheck();
  // Asks whether to open the download page of a newer build.
  void AskToUpdate(const UpdateNotice& notice);
  // The reasons reported since the last call, one per line ("" when none).
  std::string TakeReasons();

  AppState* state_;
  SiteBuilder* site_;
  GitDeployer* deployer_;
  ConsoleWindow* console_;
  GtkWidget* window_ = nullptr;
  std::unique_ptr<BrowserView> web_main_;
  std::unique_ptr<EditorWindow> editor_;
  std::unique_ptr<PostManager> posts_;
  std::unique_ptr<TrayMode> tray_mode_;  // with conf.ini's Mini=1
  // The start-up update check; dropping it with the window drops a late notice.
  std::unique_ptr<UpdateCheckTask> update_check_;
  std::vector<std::string> reasons_;
  std::function<void(const std::string&)> drop_handler_;
  DesktopSettings settings_;  // conf.ini as read at start
  unsigned refresh_timer_ = 0;
  int building_ = 0;  // site builds in progress (commands may nest)
  bool closing_ = false;
  FileDrop drop_;  // files dropped on the manager page
};

}  // namespace tarn
