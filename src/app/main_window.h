// MainWindow: the start-up window, "Corvel Blog Editor". Its view webMain
// shows the site manager page, which is rendered at start from
// template/index copy.html by the page's own TplRender into
// template/index.html (written atomically) and refreshed every five
// minutes. The page calls the native commands bound here: showEditor, the
// site commands (SiteCommands: Rendering, RenderingAndPush, Push, showList,
// Backup), and its post list's listPosts, showEditor(name),
// deletePost(name) and renamePost(name) (PostManager). The window also
// owns the post editor and its reader preview, the backups and the
// notification-area mode.
//
// Closing the window asks first: "yes" ends the main loop once the
// editor's unsaved text has been dealt with (the window itself goes with
// this object), "no" hides it to the notification area, "cancel" keeps it.
//
// A site build runs on a thread of its own while the main loop goes on
// (SiteBuild); commands that need the site builder are refused meanwhile,
// and a refresh of the manager page waits for the build's command to end.
// The update check runs on a thread of its own and hands its result to the
// main loop through UpdateCheckTask, which drops it once this window is
// gone.
//
// Thread safety: user-interface thread only, except Report.
#pragma once

#include <glib/gi18n.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/file_drop.h"
#include "app/message_box.h"
#include "app/reason_log.h"
#include "app/site_build.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;

namespace tarn {

class BrowserView;
class ConsoleWindow;
class DesktopBackup;
class EditorWindow;
class PostManager;
class GitDeployer;
class ReaderPreview;
class SiteBuilder;
class SiteCommands;
class TrayMode;
struct UpdateNotice;

class UpdateCheckTask;

class MainWindow {
 public:
  static constexpr char kTitle[] = "Corvel Blog Editor";
  static constexpr int kWidth = 780;
  static constexpr int kHeight = 510;
  static constexpr const char* kClosePrompt =
      N_("是否关闭？\n【是】关闭窗口【否】置托盘【取消】取消操作");
  static constexpr unsigned kRefreshMs = 300000;
  // Said when the window goes to the tray and no tray shows an icon.
  static constexpr char kHiddenCaption[] = "Tarn Blog Editor";
  static constexpr const char* kHiddenNotice =
      N_("主窗口已隐藏，但桌面上没有托盘图标可以找回它。\n"
         "运行 tarn show，或再次启动 Tarn Blog Editor，即可重新显示主窗口。");
  static constexpr char kOpenAnotherBlog[] = "Open another blog…";

  // None of the objects is owned; all must outlive the window. Destroying
  // the window waits for a background commit (DesktopBackup) and drops a
  // late update notice.
  MainWindow(AppState* state, SiteBuilder* site, GitDeployer* deployer, ConsoleWindow* console);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates and shows the window (with its view, still empty) and the
  // objects it owns. Call once, before StartUp.
  void Create();

  // The start-up sequence: folders (config/, public/, themes/), conf.ini, the
  // manager page template, the bound commands, the site data, the git work
  // tree, the update check, the rendered manager page and its refresh
  // timer. Returns when the rendered page has started loading, or early
  // when the window is closing meanwhile. Problems are reported (Report),
  // an unreadable site configuration also in a message box.
  void StartUp();

  // Renders the manager page through the shown page's TplRender into
  // template/index.html and loads it: with the whole site data the first
  // time, without the posts' text afterwards. Shows an error page instead when the
  // template, or its TplRender, is missing or fails, or the page cannot be
  // written. While a build runs it only notes that a refresh is due, done
  // when the build's command ends.
  void Refresh();

  // The editor on a new post (the page's showEditor).
  void ShowEditor();
  // showEditor as the page calls it: with no name (or ""), ShowEditor; with
  // the file name of a post in _posts/, that post in the editor. A refused
  // name is shown, nothing returned.
  void ShowEditorFor(const std::vector<std::string>& args);

  // At start, with Schedule set in config/conf.ini: the blog's publishing
  // timer installed (or removed) as it says (ScheduleSwitch), what was done
  // said on standard output ("schedule: ..."), a failure (no systemd: the
  // crontab line) in a message box.
  void ApplySchedule();
  // At start: the newest failed run of tarn publish --due (the schedule)
  // that was not shown yet, in a message box, once (PublishLog). Says
  // "schedule: no failed publish to show" on standard output otherwise.
  void ShowScheduledPublishFailure();

  // A timed message box owned by this window.
  void Message(const std::string& text, const std::string& caption,
               MessageIcon icon = MessageIcon::kNone);

  // A reason for a failure (from the site generator, the deployer): written
  // to standard error and the console, and kept for the next message. The
  // one method any thread may call: the build's threads call it while a
  // build runs, and their reasons are queued and reported by the
  // user-interface thread (ReasonLog).
  void Report(const std::string& reason) { reasons_.Add(reason); }

  // Presents the window (also after Hide), or hides it; nothing once it
  // has gone.
  void Show();
  void Hide();
  // Null once the window has been destroyed.
  GtkWindow* window() const;
  BrowserView* web_main() const { return web_main_.get(); }
  EditorWindow* editor() const { return editor_.get(); }
  ConsoleWindow* console() const { return console_; }

  // Opens the blog in a folder (absolute) instead of this one: the handler
  // ends the main loop, and the window goes. Called from "Open another
  // blog…" (Ctrl+O, or the manager page's context menu).
  void set_open_blog_handler(std::function<void(const std::string& folder)> handler) {
    open_blog_handler_ = std::move(handler);
  }

  // "Open another blog…": asks for a folder (offering to make a blog in one
  // that holds none) and hands it to the open-blog handler. Refused, with a
  // message, while the editor is open or a build runs.
  void OpenAnotherBlog();

  // Handles a file dropped on the window (by default: a regular file named
  // as the post index names posts, "*.md" in any case, opens in the editor;
  // anything else is ignored).
  void set_drop_handler(std::function<void(const std::string& path)> handler) {
    drop_handler_ = std::move(handler);
  }

 private:
  static int OnDeleteEvent(GtkWidget* widget, void* event, MainWindow* self);
  static void OnDestroy(GtkWidget* widget, MainWindow* self);
  // The post editor, the backups, the post list's manager, the site
  // commands and the reader preview, wired to each other.
  void CreateParts();
  // Ctrl+O and the page's context menu item for OpenAnotherBlog.
  void AddOpenBlogCommand();
  static int OnDragDrop(GtkWidget* widget, void* context, int x, int y, unsigned time,
                        MainWindow* self);
  static void OnDragDataReceived(GtkWidget* widget, void* context, int x, int y, void* data,
                                 unsigned info, unsigned time, MainWindow* self);

  // The start-up steps, in order. Makes the workspace folders the program
  // writes into (one level each); what fails is reported.
  void MakeFolders();
  // Reads conf.ini: the console window, the automatic backups, the
  // notification-area mode.
  void ApplySettings();
  // Binds every native function of the manager page.
  void BindPageFunctions();
  // Loads the site configuration and readies public/'s git work tree;
  // returns what was wrong with the configuration ("" when it was read).
  std::string LoadSite();
  // Refreshes the manager page every kRefreshMs, skipping a turn while a
  // build runs.
  void StartRefreshTimer();

  // Hides the window for the close prompt's "No"; says how to get it back
  // when no tray icon can.
  void HideToTray();
  void RegisterDropTarget();
  void OpenDroppedPost(const std::string& path);
  // Opens path in the editor, asking first about unsaved changes.
  void OpenPost(const std::string& path);
  // Binds the post list's functions (listPosts, deletePost, renamePost).
  void BindListFunctions();
  // The editor's post path when the post named name in _posts/ is the file
  // the editor works on, however either path is spelt; "" otherwise.
  std::string EditorPostNamed(const std::string& name) const;
  // The window messages about the editor's post show over: the editor's
  // while it is open, else this one.
  GtkWindow* ActiveWindow() const;
  void StartUpdateCheck();
  // Asks whether to open the download page of a newer build.
  void AskToUpdate(const UpdateNotice& notice);

  AppState* state_;
  SiteBuilder* site_;
  GitDeployer* deployer_;
  ConsoleWindow* console_;
  ReasonLog reasons_;
  SiteBuild build_;
  GtkWidget* window_ = nullptr;
  std::unique_ptr<BrowserView> web_main_;
  std::unique_ptr<EditorWindow> editor_;
  std::unique_ptr<PostManager> posts_;
  std::unique_ptr<TrayMode> tray_mode_;  // with conf.ini's Mini=1
  std::unique_ptr<DesktopBackup> backup_;
  std::unique_ptr<SiteCommands> commands_;
  std::unique_ptr<ReaderPreview> preview_;
  // The start-up update check; dropping it with the window drops a late notice.
  std::unique_ptr<UpdateCheckTask> update_check_;
  std::function<void(const std::string&)> drop_handler_;
  std::function<void(const std::string&)> open_blog_handler_;
  DesktopSettings settings_;  // conf.ini as read at start
  unsigned refresh_timer_ = 0;
  // The manager page has been rendered with the whole site data once (at
  // start); later refreshes leave out the posts' text, which it never shows.
  bool rendered_whole_ = false;
  bool closing_ = false;
  FileDrop drop_;  // files dropped on the manager page
};

}  // namespace tarn
