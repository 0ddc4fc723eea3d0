#include "app/main_window.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "app/app_state.h"
#include "app/browser_view.h"
#include "app/console_window.h"
#include "app/desktop_backup.h"
#include "app/editor_window.h"
#include "app/first_start_dialog.h"
#include "app/post_manager.h"
#include "app/tray_mode.h"
#include "content/post_index.h"
#include "data/text_file.h"
#include "deploy/git_deployer.h"
#include "deploy/publisher.h"
#include "net/update_check_task.h"
#include "net/update_checker.h"
#include "render/parallel_build.h"
#include "render/site_builder.h"
#include "workspace/contained_path.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

// The page's native functions, in the order they are bound.
struct Command {
  const char* name;
  void (MainWindow::*run)();
};
constexpr Command kCommands[] = {
    {"showEditor", &MainWindow::ShowEditor}, {"RenderingAndPush", &MainWindow::RenderingAndPush},
    {"Rendering", &MainWindow::Rendering},   {"Push", &MainWindow::Push},
    {"showList", &MainWindow::ShowList},     {"Backup", &MainWindow::Backup}};

bool IsFile(const std::string& path) { return g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR); }

constexpr char kBuildRunning[] = "a build is already running; try again when it has finished";

// With TARN_STARTUP_TRACE set, each start-up step says on stderr when it
// ended, in milliseconds since the window was created (for bench/).
void Trace(const char* step) {
  static const bool enabled = g_getenv("TARN_STARTUP_TRACE") != nullptr;
  if (!enabled) return;
  static const gint64 start = g_get_monotonic_time();
  std::fprintf(stderr, "startup: %-28s %6.0f ms\n", step,
               static_cast<double>(g_get_monotonic_time() - start) / 1000.0);
}

// With TARN_BUILD_TRACE set, measures how late a 10 ms timer runs while it
// lives: how long the main loop, and so the windows, went unserved.
class StallProbe {
 public:
  StallProbe() {
    if (!g_getenv("TARN_BUILD_TRACE")) return;
    last_ = g_get_monotonic_time();
    source_ = g_timeout_add(kPeriodMs, &StallProbe::Tick, this);
  }
  ~StallProbe() {
    if (source_) g_source_remove(source_);
  }
  StallProbe(const StallProbe&) = delete;
  StallProbe& operator=(const StallProbe&) = delete;
  gint64 worst() const { return worst_; }  // microseconds

 private:
  static constexpr unsigned kPeriodMs = 10;
  static gboolean Tick(gpointer data) {
    auto* self = static_cast<StallProbe*>(data);
    gint64 now = g_get_monotonic_time();
    self->worst_ = std::max(self->worst_, now - self->last_ - gint64{kPeriodMs} * 1000);
    self->last_ = now;
    return G_SOURCE_CONTINUE;
  }
  guint source_ = 0;
  gint64 last_ = 0;
  gint64 worst_ = 0;
};

// With TARN_BUILD_GATE=FILE set, a build the window runs says "build:
// waiting for FILE" on stderr and starts only once FILE exists, so that a
// test can see what the windows do while a build is under way, however fast
// the machine builds. Called on the build's thread.
void WaitAtBuildGate() {
  const char* gate = g_getenv("TARN_BUILD_GATE");
  if (!gate || !*gate) return;
  std::fprintf(stderr, "build: waiting for %s\n", gate);
  std::fflush(stderr);
  constexpr gulong kPollUs = 20 * 1000;
  while (!g_file_test(gate, G_FILE_TEST_EXISTS)) g_usleep(kPollUs);
}

}  // namespace

MainWindow::MainWindow(AppState* state, SiteBuilder* site, GitDeployer* deployer,
                       ConsoleWindow* console)
    : state_(state), site_(site), deployer_(deployer), console_(console) {}

MainWindow::~MainWindow() {
  update_check_.reset();
  if (refresh_timer_) g_source_remove(refresh_timer_);
  editor_.reset();
  if (window_) {
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
  }
}

GtkWindow* MainWindow::window() const { return window_ ? GTK_WINDOW(window_) : nullptr; }

void MainWindow::Create() {
  Trace("create window");
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), kTitle);
  gtk_window_set_default_size(GTK_WINDOW(window_), kWidth, kHeight);
  gtk_window_move(GTK_WINDOW(window_), 50, 50);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);

  web_main_ = std::make_unique<BrowserView>();
  web_main_->set_loaded_handler([this] {
    const std::string& path = web_main_->loaded_path();
    std::printf("page: loaded %s\n", path.empty() ? "(error page)" : path.c_str());
    std::fflush(stdout);
    Trace("page load ended");
  });
  web_main_->set_crash_handler([this] {
    Report("the manager page's web process ended unexpectedly");
    // Refresh loads the template again from an error page.
    web_main_->ShowErrorPage("The manager page stopped",
                             "Its web process ended unexpectedly. The page comes back at the "
                             "next refresh (every five minutes) or when the program starts "
                             "again.");
  });
  gtk_container_add(GTK_CONTAINER(window_), web_main_->widget());
  AddOpenBlogCommand();

  editor_ = std::make_unique<EditorWindow>(state_);
  // Closing the editor brings the manager back.
  editor_->set_closed_handler([this] {
    if (!closing_) Show();
  });
  editor_->set_save_cancelled_handler([this] { Refresh(); });
  backup_ = std::make_unique<DesktopBackup>(state_->rootDir, console_, [this]() -> GtkWindow* {
    return editor_->is_open() ? editor_->window() : window();
  });
  editor_->set_saved_handler([this] {
    posts_->SendList();
    backup_->AfterSave();
  });
  editor_->set_preview_handler([this](const std::string& path) { PreviewAsReader(path); });
  posts_ = std::make_unique<PostManager>(state_, web_main_.get(), [this]() -> GtkWindow* {
    return editor_->is_open() ? editor_->window() : window();
  });
  drop_handler_ = [this](const std::string& path) { OpenDroppedPost(path); };

  gtk_widget_show_all(window_);
}

void MainWindow::AddOpenBlogCommand() {
  // Ctrl+O, and an item of the manager page's context menu. The page keeps
  // the whole window: the page's own buttons stay where its layout puts them.
  GtkAccelGroup* accels = gtk_accel_group_new();
  GClosure* closure = g_cclosure_new_swap(G_CALLBACK(+[](MainWindow* self) -> gboolean {
                                            self->OpenAnotherBlog();
                                            return TRUE;
                                          }),
                                          this, nullptr);
  gtk_accel_group_connect(accels, GDK_KEY_o, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE, closure);
  gtk_window_add_accel_group(GTK_WINDOW(window_), accels);
  g_object_unref(accels);

  GSimpleAction* action = g_simple_action_new("open-another-blog", nullptr);
  g_signal_connect_swapped(action, "activate",
                           G_CALLBACK(+[](MainWindow* self) { self->OpenAnotherBlog(); }), this);
  g_signal_connect_data(
      web_main_->widget(), "context-menu",
      G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                     GAction* open) -> gboolean {
        webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
        webkit_context_menu_append(
            menu, webkit_context_menu_item_new_from_gaction(open, kOpenAnotherBlog, nullptr));
        return FALSE;
      }),
      action, [](gpointer data, GClosure*) { g_object_unref(data); }, GConnectFlags(0));
}

void MainWindow::OpenAnotherBlog() {
  if (editor_->is_open() || building_ > 0) {
    Message(editor_->is_open() ? "Close the editor before opening another blog."
                               : "Wait for the build to end before opening another blog.",
            "Error", MessageIcon::kExclamation);
    return;
  }
  // Blogs often sit side by side: the chooser starts beside this one.
  std::string beside = std::filesystem::path(state_->rootDir).parent_path().string();
  std::string folder = FirstStartDialog::ChooseBlog(GTK_WINDOW(window_), beside);
  if (folder.empty() || !open_blog_handler_) return;
  std::printf("open: %s\n", folder.c_str());
  std::fflush(stdout);
  closing_ = true;
  Hide();
  open_blog_handler_(folder);
}

void MainWindow::StartUp() {
  // The workspace folders the program writes into; one level each, so a
  // missing workspace root is not made up.
  for (const char* fragment : {"/config", "/public", "/themes"}) {
    std::string path = state_->rootDir + fragment;
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS) && mkdir(path.c_str(), 0777) != 0) {
      Report("cannot create " + path + ": " + g_strerror(errno));
    }
  }

  settings_ = DesktopSettings::Read(Workspace::Path(state_->rootDir, Workspace::kConfIni));
  if (settings_.show_dos) console_->Open(GTK_WINDOW(window_));
  backup_->set_automatic(settings_.auto_backup);
  if (settings_.mini) {
    tray_mode_ = std::make_unique<TrayMode>();
    tray_mode_->Start(this, state_);
  }

  std::string template_path = Workspace::Path(state_->rootDir, Workspace::kManagerPageTemplate);
  bool have_template = IsFile(template_path);
  if (have_template) web_main_->LoadFile(template_path);
  for (const Command& command : kCommands) {
    if (command.run == &MainWindow::ShowEditor) {
      web_main_->BindFunction(
          command.name, BrowserView::ArgumentFunction(
                            [this](const std::vector<std::string>& args) { ShowEditorFor(args); }));
      continue;
    }
    web_main_->BindFunction(command.name, [this, run = command.run] { (this->*run)(); });
  }
  BindListFunctions();
  if (have_template) web_main_->WaitForLoad();
  Trace("template page loaded");
  if (closing_) return;

  TakeReasons();
  bool configured = site_->LoadConfig();
  std::string config_problem = TakeReasons();
  Trace("site configuration loaded");
  // The console takes git's output from now on, shown or not.
  deployer_->InitRepository(
      state_->rootDir + "/public",
      [console = console_](const std::string& text) { return console->Output(text); });
  Trace("git work tree ready");
  if (closing_) return;
  RegisterDropTarget();
  StartUpdateCheck();
  Refresh();
  refresh_timer_ = g_timeout_add(
      kRefreshMs,
      [](gpointer data) -> gboolean {
        auto* self = static_cast<MainWindow*>(data);
        // A build converts Markdown in the shown page; reloading that page
        // under it would fail the posts converted meanwhile. The refresh
        // waits for the next turn instead.
        if (self->building_ == 0) self->Refresh();
        return G_SOURCE_CONTINUE;
      },
      this);
  // A site configuration that could not be read leaves every page without
  // its data; say why rather than leave the blogger guessing.
  if (!configured) {
    Message(config_problem.empty() ? "config/base.json could not be read" : config_problem, "Error",
            MessageIcon::kExclamation);
  }
}

void MainWindow::Refresh() {
  // The build owns the site data until it ends, and then refreshes.
  if (building_ > 0) {
    refresh_due_ = true;
    return;
  }
  refresh_due_ = false;
  std::string template_path = Workspace::Path(state_->rootDir, Workspace::kManagerPageTemplate);
  std::string page_path = Workspace::Path(state_->rootDir, Workspace::kManagerPage);
  if (!IsFile(template_path)) {
    web_main_->ShowErrorPage(
        "The manager page template is missing",
        "Looked for: " + template_path +
            "\n\nThe workspace's template/ folder should hold \"index copy.html\", the page "
            "that renders the manager page with its TplRender function.");
    return;
  }
  // The template must be the page shown: its TplRender does the rendering.
  // After an error page (or before the first load) it is loaded again.
  if (web_main_->loaded_path() != template_path && web_main_->loaded_path() != page_path) {
    web_main_->LoadFile(template_path);
    web_main_->WaitForLoad();
  }
  if (!web_main_->HasFunction("TplRender")) {
    web_main_->ShowErrorPage(
        "The manager page cannot be rendered",
        "The page " + web_main_->loaded_path() +
            " defines no global function TplRender(template, siteDataJson).\n\nLooked in: " +
            template_path);
    return;
  }
  TakeReasons();
  std::string page = site_->ScriptRender(template_path);
  std::string reasons = TakeReasons();
  Trace("manager page rendered");
  if (!reasons.empty()) {
    web_main_->ShowErrorPage("The manager page could not be rendered",
                             "Template: " + template_path + "\n\n" + reasons);
    return;
  }
  std::string error;
  if (!WriteTextFile(page_path, page, &error)) {
    web_main_->ShowErrorPage("The manager page could not be written", error);
    return;
  }
  web_main_->LoadFile(page_path);
}

void MainWindow::ShowEditor() {
  state_->editingExisting = false;
  state_->postPath.clear();
  bool was_open = editor_->is_open();
  editor_->Open();
  Hide();
  if (!was_open) editor_->OfferNewPostCopy();
  editor_->StartNewPost();
}

void MainWindow::ShowEditorFor(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) {
    ShowEditor();
    return;
  }
  std::string path = posts_->PostPath(args[0]);
  if (!path.empty()) OpenPost(path);
}

void MainWindow::BindListFunctions() {
  using Args = const std::vector<std::string>&;
  web_main_->BindFunction("listPosts", [this] { posts_->SendList(); });
  web_main_->BindFunction("deletePost", BrowserView::ArgumentFunction([this](Args args) {
                            if (args.empty()) return;
                            // Looked up first: the file is gone afterwards. The
                            // editor must still be on it once the question ends.
                            std::string open = EditorPostNamed(args[0]);
                            if (!posts_->Delete(args[0])) return;
                            if (!open.empty() && state_->postPath == open) editor_->LetGoOfPost();
                            posts_->SendList();
                          }));
  web_main_->BindFunction("renamePost", BrowserView::ArgumentFunction([this](Args args) {
                            if (args.empty()) return;
                            std::string open = EditorPostNamed(args[0]);
                            std::string renamed;
                            if (!posts_->Rename(args[0], &renamed)) return;
                            // The editor follows a post it has open.
                            if (!open.empty() && state_->postPath == open) {
                              state_->postPath = renamed;
                            }
                            posts_->SendList();
                          }));
}

std::string MainWindow::EditorPostNamed(const std::string& name) const {
  if (!state_->editingExisting) return "";
  std::string path;
  std::string error;
  if (!ContainedPath::Resolve(state_->rootDir + "/_posts", name, &path, &error)) return "";
  // Either path may be spelt another way (links, "..", doubled slashes).
  std::error_code ec;
  return std::filesystem::equivalent(path, state_->postPath, ec) ? state_->postPath : "";
}

void MainWindow::PreviewAsReader(const std::string& path) {
  GtkWindow* owner = editor_->is_open() ? editor_->window() : window();
  // A build (the manager's, or another preview's while it waits on the
  // page) owns the site builder until it ends.
  if (building_ > 0) {
    MessageBox::ShowTimed(owner, kBuildRunning, "Error", MessageIcon::kExclamation);
    return;
  }
  std::filesystem::path post(path);
  if (post.parent_path() != std::filesystem::path(state_->rootDir + "/_posts")) {
    MessageBox::ShowTimed(owner, "只有 _posts/ 里的文章会被渲染：\n" + path, "Error",
                          MessageIcon::kExclamation);
    return;
  }
  TakeReasons();
  ++building_;
  bool built = site_->Build();
  --building_;
  if (!built) {
    std::string reasons = TakeReasons();
    MessageBox::ShowTimed(owner, reasons.empty() ? "渲染出错" : "渲染出错\n\n" + reasons, "Error",
                          MessageIcon::kExclamation);
    return;
  }
  Refresh();
  // The article's file name: the slug, else the title, as the build names it.
  PostFile file;
  file.path = path;
  file.title = PostIndex::TitleOf(post.filename().string());
  file.slug = file.title;
  ReadTextFile(path, &file.content);
  PostIndex::ReadFront(&file, [](const std::string&) {});
  if (file.draft) {
    MessageBox::ShowTimed(owner, "草稿不会被渲染：\n" + path, "Error", MessageIcon::kExclamation);
    return;
  }
  std::string page = state_->rootDir + "/public/articles/" + file.slug + ".html";
  gchar* uri = g_filename_to_uri(page.c_str(), nullptr, nullptr);
  GError* error = nullptr;
  if (!IsFile(page)) {
    MessageBox::ShowTimed(owner, "渲染后没有找到文章页面：\n" + page, "Error",
                          MessageIcon::kExclamation);
  } else if (!uri || !g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
    MessageBox::ShowTimed(owner, "无法打开 " + page + "\n" + (error ? error->message : ""), "Error",
                          MessageIcon::kExclamation);
  } else {
    std::printf("editor: opened %s\n", uri);
    std::fflush(stdout);
  }
  if (error) g_error_free(error);
  g_free(uri);
}

void MainWindow::Rendering() {
  if (RefuseWhileBuilding()) return;
  TakeReasons();
  bool built = BuildSite();
  std::string reasons = built ? "" : TakeReasons();
  // The manager page lists the posts from the site data; show the new
  // index now rather than at the next timed refresh.
  if (built || refresh_due_) Refresh();
  if (built) {
    Message("渲染完成", "Succeed");
  } else {
    Message(reasons.empty() ? "渲染出错" : "渲染出错\n\n" + reasons, "Error");
  }
}

bool MainWindow::BuildSite() {
  ++building_;
  const gint64 start = g_get_monotonic_time();
  StallProbe probe;
  std::atomic<bool> done{false};
  bool built = false;
  std::thread builder([this, &done, &built] {
    WaitAtBuildGate();
    built = ParallelBuild::Run(site_, {}, [this](const std::string& reason) { Report(reason); });
    done.store(true);
    g_main_context_wakeup(nullptr);
  });
  while (!done.load()) {
    g_main_context_iteration(nullptr, TRUE);
    DeliverQueuedReasons();
  }
  builder.join();
  DeliverQueuedReasons();
  --building_;
  if (g_getenv("TARN_BUILD_TRACE")) {
    std::fprintf(stderr, "build: %.0f ms, main loop at most %.0f ms late\n",
                 static_cast<double>(g_get_monotonic_time() - start) / 1000.0,
                 static_cast<double>(probe.worst()) / 1000.0);
  }
  return built;
}

bool MainWindow::RefuseWhileBuilding() {
  if (building_ == 0) return false;
  Message(kBuildRunning, "Error", MessageIcon::kExclamation);
  return true;
}

void MainWindow::RenderingAndPush() {
  if (RefuseWhileBuilding()) return;
  Publisher publisher(site_, deployer_, [this](const std::string& reason) { Report(reason); });
  publisher.set_build([this] { return BuildSite(); });
  ++building_;
  DeployOutcome outcome = publisher.RenderingAndPush();
  if (outcome.foreign_site && AskToReplaceSite(&publisher)) outcome = publisher.PushRendered();
  --building_;
  if (outcome.ok || refresh_due_) Refresh();
  // "No" to replacing an earlier site: the question said all there is.
  if (outcome.foreign_site) return;
  // A failed build is the one outcome shown with the exclamation mark.
  Message(outcome.message, outcome.caption,
          outcome.build_failed ? MessageIcon::kExclamation : MessageIcon::kNone);
  if (!outcome.ok || !backup_->automatic()) return;
  BackupOutcome backup = backup_->BackUp(site_->GetSiteData().GetText("system.sourceUrl"));
  if (!backup.ok) Message("自动备份失败：" + backup.message, "Error", MessageIcon::kExclamation);
}

void MainWindow::Push() {
  if (RefuseWhileBuilding()) return;
  Publisher publisher(site_, deployer_, [this](const std::string& reason) { Report(reason); });
  DeployOutcome outcome = publisher.Push();
  if (outcome.foreign_site && AskToReplaceSite(&publisher)) outcome = publisher.Push();
  if (!outcome.foreign_site) Message(outcome.message, outcome.caption);
}

bool MainWindow::AskToReplaceSite(Publisher* publisher) {
  static const char kQuestion[] =
      "远程仓库的 master 上已经发布过一个站点，而本地 public/ 的历史里没有它"
      "（重装系统或换了电脑之后常会这样）。\n\n"
      "是否用现在的站点替换它？旧站点会留在 git 历史中，不会强制推送。\n"
      "选「否」则什么都不推送；也可以先用 tarn init DIR --from URL 从备份恢复博客。";
  if (MessageBox::Ask(GTK_WINDOW(window_), kQuestion, kReplaceSiteCaption, false) !=
      MessageAnswer::kYes)
    return false;
  publisher->set_replace(true);
  return true;
}

void MainWindow::Backup() {
  if (RefuseWhileBuilding()) return;
  BackupOutcome outcome = backup_->BackUp(site_->GetSiteData().GetText("system.sourceUrl"));
  Message(outcome.message, outcome.ok ? "Succeed" : "Error",
          outcome.ok ? MessageIcon::kNone : MessageIcon::kExclamation);
}

void MainWindow::ShowList() {
  std::string folder = state_->rootDir + "/_posts";
  gchar* uri = g_filename_to_uri(folder.c_str(), nullptr, nullptr);
  GError* error = nullptr;
  if (!uri || !g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
    std::string reason = error ? error->message : "not a valid path";
    if (error) g_error_free(error);
    Message("无法打开文件夹 " + folder + "\n" + reason, "Error", MessageIcon::kExclamation);
  }
  g_free(uri);
}

void MainWindow::Message(const std::string& text, const std::string& caption, MessageIcon icon) {
  MessageBox::ShowTimed(GTK_WINDOW(window_), text, caption, icon);
}

void MainWindow::Report(const std::string& reason) {
  if (std::this_thread::get_id() != ui_thread_) {
    {
      std::lock_guard<std::mutex> lock(queued_mutex_);
      queued_reasons_.push_back(reason);
    }
    g_main_context_wakeup(nullptr);
    return;
  }
  std::fprintf(stderr, "tarn: %s\n", reason.c_str());
  console_->Output(reason);
  reasons_.push_back(reason);
}

void MainWindow::DeliverQueuedReasons() {
  std::vector<std::string> queued;
  {
    std::lock_guard<std::mutex> lock(queued_mutex_);
    queued.swap(queued_reasons_);
  }
  for (const std::string& reason : queued) Report(reason);
}

std::string MainWindow::TakeReasons() {
  std::string text;
  for (const std::string& reason : reasons_) {
    if (!text.empty()) text += "\n";
    text += reason;
  }
  reasons_.clear();
  return text;
}

void MainWindow::Show() {
  if (window_) gtk_window_present(GTK_WINDOW(window_));
}

void MainWindow::Hide() {
  if (window_) gtk_widget_hide(window_);
}

int MainWindow::OnDeleteEvent(GtkWidget*, void*, MainWindow* self) {
  switch (MessageBox::Ask(GTK_WINDOW(self->window_), kClosePrompt, "提示", true)) {
    case MessageAnswer::kYes:
      // Unsaved text in the editor is not dropped without a word.
      if (self->editor_->is_open() && !self->editor_->ConfirmDiscard()) break;
      self->closing_ = true;
      gtk_widget_hide(self->window_);
      gtk_main_quit();
      break;
    case MessageAnswer::kNo:
      self->HideToTray();
      break;
    case MessageAnswer::kCancel:
      break;
  }
  return TRUE;  // the window itself goes at the exit sequence
}

void MainWindow::HideToTray() {
  Hide();
  if (tray_mode_ && tray_mode_->icon_visible()) return;
  std::fprintf(stderr,
               "tarn: the main window is hidden and no tray icon can bring it back; run "
               "\"tarn show -w '%s'\" or start tarn again\n",
               state_->rootDir.c_str());
  MessageBox::ShowNotice(kHiddenNotice, kHiddenCaption);
}

void MainWindow::OnDestroy(GtkWidget*, MainWindow* self) { self->window_ = nullptr; }

void MainWindow::RegisterDropTarget() {
  // The view takes drops for its page. A dropped file list is taken here
  // first: on the drop the list is asked for, and the view never sees the
  // drop (it would show the file instead of the manager page).
  GtkWidget* view = web_main_->widget();
  g_signal_connect(view, "drag-drop", G_CALLBACK(OnDragDrop), this);
  g_signal_connect(view, "drag-data-received", G_CALLBACK(OnDragDataReceived), this);
}

int MainWindow::OnDragDrop(GtkWidget* widget, void* context, int, int, unsigned time,
                           MainWindow* self) {
  return self->drop_.Begin(widget, context, time);  // text and the like: the page's
}

void MainWindow::OnDragDataReceived(GtkWidget* widget, void* context, int, int, void* data,
                                    unsigned, unsigned time, MainWindow* self) {
  std::vector<std::string> files = self->drop_.Take(widget, context, data, time);
  if (!files.empty() && self->drop_handler_) self->drop_handler_(files.front());
}

void MainWindow::OpenDroppedPost(const std::string& path) {
  // The post index's rule: a regular file whose name ends in ".md", any case
  // ("notes.md.bak" or a folder "drafts.md/" is no post).
  std::error_code ec;
  if (!PostIndex::IsPostName(std::filesystem::path(path).filename().string()) ||
      !std::filesystem::is_regular_file(path, ec)) {
    return;
  }
  OpenPost(path);
}

void MainWindow::OpenPost(const std::string& path) {
  if (editor_->is_open() && !editor_->ConfirmDiscard()) return;
  state_->editingExisting = true;
  state_->postPath = path;
  editor_->Open();
  Hide();
  editor_->LoadPost(path);
}

void MainWindow::StartUpdateCheck() {
  // The check may take its whole time-out on a bad network, so it runs on a
  // thread of its own; a found notice comes back to this thread (GTK is used
  // from one thread only), and never once this window is gone.
  update_check_ = std::make_unique<UpdateCheckTask>(
      g_main_context_default(), [this](const UpdateNotice& notice) { AskToUpdate(notice); });
}

void MainWindow::AskToUpdate(const UpdateNotice& notice) {
  std::string text = notice.text;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.erase(at, 1);
  }
  if (MessageBox::Ask(window(), text, kNoticeTitle, false) != MessageAnswer::kYes) return;
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri(notice.download_page.c_str(), nullptr, &error)) {
    Message("无法打开 " + notice.download_page + "\n" + error->message, "Error",
            MessageIcon::kExclamation);
    g_error_free(error);
  }
}

}  // namespace tarn
