#include "app/main_window.h"

#include <glib/gi18n.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "app/app_state.h"
#include "app/browser_view.h"
#include "app/console_window.h"
#include "app/desktop_backup.h"
#include "app/editor_window.h"
#include "app/first_start_dialog.h"
#include "app/page_texts.h"
#include "app/post_manager.h"
#include "app/reader_preview.h"
#include "app/site_commands.h"
#include "app/tray_mode.h"
#include "content/post_index.h"
#include "data/text_file.h"
#include "data/translation.h"
#include "deploy/git_deployer.h"
#include "deploy/publish_log.h"
#include "deploy/schedule_switch.h"
#include "net/update_check_task.h"
#include "net/update_checker.h"
#include "render/site_builder.h"
#include "workspace/contained_path.h"
#include "workspace/workspace.h"

namespace tarn {
namespace {

bool IsFile(const std::string& path) { return g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR); }

// With TARN_STARTUP_TRACE set, each start-up step says on stderr when it
// ended, in milliseconds since the window was created (for bench/).
void Trace(const char* step) {
  static const bool enabled = g_getenv("TARN_STARTUP_TRACE") != nullptr;
  if (!enabled) return;
  static const gint64 start = g_get_monotonic_time();
  std::fprintf(stderr, "startup: %-28s %6.0f ms\n", step,
               static_cast<double>(g_get_monotonic_time() - start) / 1000.0);
}

}  // namespace

MainWindow::MainWindow(AppState* state, SiteBuilder* site, GitDeployer* deployer,
                       ConsoleWindow* console)
    : state_(state),
      site_(site),
      deployer_(deployer),
      console_(console),
      reasons_(console),
      build_(site, &reasons_) {}

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

  CreateParts();
  gtk_widget_show_all(window_);
}

void MainWindow::CreateParts() {
  editor_ = std::make_unique<EditorWindow>(state_);
  // Closing the editor brings the manager back.
  editor_->set_closed_handler([this] {
    if (!closing_) Show();
  });
  editor_->set_save_cancelled_handler([this] { Refresh(); });
  backup_ = std::make_unique<DesktopBackup>(state_->workspace.root(), console_,
                                            [this] { return ActiveWindow(); });
  editor_->set_saved_handler([this] {
    posts_->SendList();
    backup_->AfterSave();
  });
  preview_ = std::make_unique<ReaderPreview>(
      state_->workspace, &build_, &reasons_, [this] { return ActiveWindow(); },
      [this] { Refresh(); });
  editor_->set_preview_handler([this](const std::string& path) { preview_->Show(path); });
  posts_ =
      std::make_unique<PostManager>(state_, web_main_.get(), [this] { return ActiveWindow(); });
  commands_ = std::make_unique<SiteCommands>(
      state_->workspace, SiteCommands::Parts{site_, deployer_, backup_.get(), &build_, &reasons_},
      [this] { return window(); }, [this] { Refresh(); });
  drop_handler_ = [this](const std::string& path) { OpenDroppedPost(path); };
}

GtkWindow* MainWindow::ActiveWindow() const {
  return editor_->is_open() ? editor_->window() : window();
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
  if (editor_->is_open() || build_.running()) {
    Message(editor_->is_open() ? "Close the editor before opening another blog."
                               : "Wait for the build to end before opening another blog.",
            "Error", MessageIcon::kExclamation);
    return;
  }
  // Blogs often sit side by side: the chooser starts beside this one.
  std::string beside = std::filesystem::path(state_->workspace.root()).parent_path().string();
  std::string folder = FirstStartDialog::ChooseBlog(GTK_WINDOW(window_), beside);
  if (folder.empty() || !open_blog_handler_) return;
  std::printf("open: %s\n", folder.c_str());
  std::fflush(stdout);
  closing_ = true;
  Hide();
  open_blog_handler_(folder);
}

void MainWindow::StartUp() {
  MakeFolders();
  ApplySettings();
  std::string template_path = state_->workspace.manager_page_template();
  bool have_template = IsFile(template_path);
  web_main_->AddStartScript(PageTexts::Script());
  if (have_template) web_main_->LoadFile(template_path);
  BindPageFunctions();
  if (have_template) web_main_->WaitForLoad();
  Trace("template page loaded");
  if (closing_) return;

  std::string config_problem = LoadSite();
  if (closing_) return;
  RegisterDropTarget();
  StartUpdateCheck();
  Refresh();
  StartRefreshTimer();
  // A site configuration that could not be read leaves every page without
  // its data; say why rather than leave the blogger guessing.
  if (!config_problem.empty()) Message(config_problem, "Error", MessageIcon::kExclamation);
  ApplySchedule();
  ShowScheduledPublishFailure();
}

void MainWindow::ApplySchedule() {
  if (!settings_.schedule) return;
  ScheduleSwitch schedule = ScheduleSwitch::ForBlog(state_->workspace.root());
  bool on = *settings_.schedule;
  if (on ? schedule.UpToDate() : !schedule.units().Installed()) return;
  ScheduleSwitch::Outcome outcome = on ? schedule.On() : schedule.Off();
  std::printf("schedule: %s\n", outcome.message.c_str());
  std::fflush(stdout);
  if (outcome.ok) return;
  Message(
      Translation::Format(_("%s (Schedule=%s): %s\n%s"), state_->workspace.conf_ini().c_str(),
                          on ? "1" : "0", outcome.message.c_str(), outcome.crontab_line.c_str()),
      "Error", MessageIcon::kExclamation);
}

void MainWindow::ShowScheduledPublishFailure() {
  PublishLog log(state_->workspace);
  std::string failure = log.UnshownFailure();
  if (failure.empty()) {
    std::printf("schedule: no failed publish to show\n");
    std::fflush(stdout);
    return;
  }
  // The line is "TIME<tab>failed<tab>WHY".
  std::string when = failure.substr(0, failure.find('\t'));
  std::string why = failure.substr(failure.rfind('\t') + 1);
  std::string error;
  if (!log.MarkShown(failure, &error)) Report(error);
  Message(Translation::Format(_("The scheduled publish at %s failed: %s\n\n"
                                "tarn schedule status shows the last run; %s has them all."),
                              when.c_str(), why.c_str(), log.path().c_str()),
          "Error", MessageIcon::kExclamation);
}

void MainWindow::MakeFolders() {
  // One level each, so a missing workspace root is not made up.
  const Workspace& workspace = state_->workspace;
  for (const std::string& path :
       {workspace.config_dir(), workspace.public_dir(), workspace.themes_dir()}) {
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS) && mkdir(path.c_str(), 0777) != 0) {
      Report("cannot create " + path + ": " + g_strerror(errno));
    }
  }
}

void MainWindow::ApplySettings() {
  settings_ = DesktopSettings::Read(state_->workspace.conf_ini());
  if (settings_.show_dos) console_->Open(GTK_WINDOW(window_));
  backup_->set_automatic(settings_.auto_backup);
  if (settings_.mini) {
    tray_mode_ = std::make_unique<TrayMode>();
    tray_mode_->Start(this, state_);
  }
}

void MainWindow::BindPageFunctions() {
  web_main_->BindFunction(
      "showEditor", BrowserView::ArgumentFunction(
                        [this](const std::vector<std::string>& args) { ShowEditorFor(args); }));
  commands_->Bind(web_main_.get());
  BindListFunctions();
}

std::string MainWindow::LoadSite() {
  reasons_.Take();
  bool configured = site_->LoadConfig();
  std::string problem = reasons_.Take();
  if (!configured && problem.empty()) {
    problem = std::string(Workspace::kBaseConfig) + " could not be read";
  }
  Trace("site configuration loaded");
  // The console takes git's output from now on, shown or not.
  deployer_->InitRepository(
      state_->workspace.public_dir(),
      [console = console_](const std::string& text) { return console->Output(text); });
  Trace("git work tree ready");
  return configured ? "" : problem;
}

void MainWindow::StartRefreshTimer() {
  refresh_timer_ = g_timeout_add(
      kRefreshMs,
      [](gpointer data) -> gboolean {
        auto* self = static_cast<MainWindow*>(data);
        // A build converts Markdown in the shown page; reloading that page
        // under it would fail the posts converted meanwhile. The refresh
        // waits for the next turn instead.
        if (!self->build_.running()) self->Refresh();
        return G_SOURCE_CONTINUE;
      },
      this);
}

void MainWindow::Refresh() {
  // The build owns the site data until it ends, and then refreshes.
  if (build_.PostponeRefresh()) return;
  std::string template_path = state_->workspace.manager_page_template();
  std::string page_path = state_->workspace.manager_page();
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
  reasons_.Take();
  std::string page =
      site_->ScriptRender(template_path, rendered_whole_ ? SiteBuilder::PostText::kWithout
                                                         : SiteBuilder::PostText::kWith);
  std::string reasons = reasons_.Take();
  Trace("manager page rendered");
  if (!reasons.empty()) {
    web_main_->ShowErrorPage("The manager page could not be rendered",
                             "Template: " + template_path + "\n\n" + reasons);
    return;
  }
  rendered_whole_ = true;
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
  if (!ContainedPath::Resolve(state_->workspace.posts_dir(), name, &path, &error)) return "";
  // Either path may be spelt another way (links, "..", doubled slashes).
  std::error_code ec;
  return std::filesystem::equivalent(path, state_->postPath, ec) ? state_->postPath : "";
}

void MainWindow::Message(const std::string& text, const std::string& caption, MessageIcon icon) {
  MessageBox::ShowTimed(GTK_WINDOW(window_), text, caption, icon);
}

void MainWindow::Show() {
  if (window_) gtk_window_present(GTK_WINDOW(window_));
}

void MainWindow::Hide() {
  if (window_) gtk_widget_hide(window_);
}

int MainWindow::OnDeleteEvent(GtkWidget*, void*, MainWindow* self) {
  switch (MessageBox::Ask(GTK_WINDOW(self->window_), _(kClosePrompt), _("提示"), true)) {
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
               state_->workspace.root().c_str());
  MessageBox::ShowNotice(_(kHiddenNotice), kHiddenCaption);
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
  if (MessageBox::Ask(window(), text, _(kNoticeTitle), false) != MessageAnswer::kYes) return;
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri(notice.download_page.c_str(), nullptr, &error)) {
    Message(Translation::Format(_("无法打开 %s\n%s"), notice.download_page.c_str(), error->message),
            "Error", MessageIcon::kExclamation);
    g_error_free(error);
  }
}

}  // namespace tarn
