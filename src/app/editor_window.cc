#include "app/editor_window.h"

#include <glib/gi18n.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "app/app_state.h"
#include "app/browser_view.h"
#include "app/editor_spelling.h"
#include "app/message_box.h"
#include "app/page_texts.h"
#include "app/post_save_dialog.h"
#include "content/front_matter.h"
#include "data/text_file.h"
#include "data/translation.h"
#include "workspace/autosave_store.h"

namespace tarn {
namespace {

// Kinds of showMsg in the editor page.
constexpr int kPageSuccess = 1;
constexpr int kPageError = 2;

// The native function the page calls on Ctrl+S, and the key listener that
// calls it. It listens before the editor component, which must not see the
// key; the key's code catches Ctrl+S under Caps Lock and other layouts.
constexpr char kSaveFunction[] = "tarnSavePost";
// The page's preview button, and its paste of something that is no text.
constexpr char kPreviewFunction[] = "tarnPreviewPost";
constexpr char kPasteImageFunction[] = "tarnPasteImage";
// The page's offer to keep a scaled photo's original, and where originals
// wait in the workspace's state.
constexpr char kKeepOriginalFunction[] = "tarnKeepOriginal";
constexpr char kOriginalsDir[] = "originals";
// The page's history button, and its choice of one version.
constexpr char kHistoryFunction[] = "tarnListHistory";
constexpr char kRestoreFunction[] = "tarnRestoreVersion";
// Focus mode's full screen ("1" on, else off), and the page's trace.
constexpr char kFullscreenFunction[] = "tarnFullscreen";
constexpr char kTraceFunction[] = "tarnTrace";
constexpr char kSaveKeyScript[] = R"js(
window.addEventListener('keydown', function (event) {
  if (!event.ctrlKey || event.altKey || event.metaKey || event.shiftKey || event.isComposing) return;
  if (event.code !== 'KeyS' && event.key !== 's' && event.key !== 'S') return;
  event.preventDefault();
  event.stopPropagation();
  if (typeof window.tarnSavePost === 'function') window.tarnSavePost();
}, true);
)js";

// Makes folder when it is missing. Returns false with *error when it cannot
// be made or something else than a folder has its name.
bool EnsureFolder(const std::string& folder, std::string* error) {
  if (g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)) return true;
  if (g_file_test(folder.c_str(), G_FILE_TEST_EXISTS)) {
    *error = folder + ": not a folder";
    return false;
  }
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    *error = folder + ": cannot create the folder: " + std::strerror(errno);
    return false;
  }
  return true;
}

// The URI without its fragment: a jump inside the page is no new page.
std::string WithoutFragment(const char* uri) {
  std::string text = uri ? uri : "";
  std::size_t hash = text.find('#');
  return hash == std::string::npos ? text : text.substr(0, hash);
}

}  // namespace

EditorWindow::EditorWindow(AppState* state)
    : state_(state),
      images_(
          state->workspace.images_dir(), state->workspace.StatePath(kOriginalsDir),
          [this] { return view_.get(); },
          [this](const std::string& message) { ShowFailure(message); },
          [this](const std::string& message) { ShowInPage(message, kPageSuccess); }),
      history_(
          state, [this] { return view_.get(); },
          [this](const std::string& message) { ShowFailure(message); }),
      front_matter_(
          state, [this] { return view_.get(); },
          [this](const std::string& message) { ShowFailure(message); }),
      probe_([this] { return view_.get(); }) {}

EditorWindow::~EditorWindow() {
  if (autosave_timer_) g_source_remove(autosave_timer_);
  if (window_) {
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
  }
}

GtkWindow* EditorWindow::window() const { return window_ ? GTK_WINDOW(window_) : nullptr; }

std::string EditorWindow::PageUri() const {
  std::string page = state_->workspace.editor_page();
  gchar* uri = g_filename_to_uri(page.c_str(), nullptr, nullptr);
  std::string text = uri ? uri : "";
  g_free(uri);
  return text;
}

void EditorWindow::Open() {
  if (window_) {
    gtk_window_present(GTK_WINDOW(window_));
    return;
  }
  retired_.reset();
  awaiting_text_ = false;
  saved_text_.clear();
  autosaved_text_.clear();
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  UpdateTitle(state_->EditedPost());
  gtk_window_set_default_size(GTK_WINDOW(window_), kWidth, kHeight);
  gtk_window_move(GTK_WINDOW(window_), kLeft, kTop);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
  CreateView();
  gtk_widget_show_all(window_);
  autosave_timer_ = g_timeout_add(
      kAutosaveMs,
      [](gpointer data) -> gboolean {
        static_cast<EditorWindow*>(data)->AutosaveTick();
        return G_SOURCE_CONTINUE;
      },
      this);

  std::string page = state_->workspace.editor_page();
  if (g_file_test(page.c_str(), G_FILE_TEST_IS_REGULAR)) {
    view_->LoadFile(page);
  } else {
    view_->ShowErrorPage(
        "The post editor page is missing",
        "Looked for: " + page + "\n\nThe workspace's template/ folder should hold editor.html.");
  }
}

void EditorWindow::CreateView() {
  // The view takes the whole width and the height less a strip below it,
  // whatever the window's size: the box keeps the strip fixed.
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  view_ = std::make_unique<BrowserView>();
  view_->set_loaded_handler([view = view_.get()] {
    const std::string& path = view->loaded_path();
    std::printf("page: loaded %s\n", path.empty() ? "(error page)" : path.c_str());
    std::fflush(stdout);
  });
  gtk_box_pack_start(GTK_BOX(column), view_->widget(), TRUE, TRUE, 0);
  GtkWidget* strip = gtk_drawing_area_new();
  gtk_widget_set_size_request(strip, -1, kViewShortfall);
  gtk_box_pack_start(GTK_BOX(column), strip, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window_), column);
  g_signal_connect(view_->widget(), "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  // Ctrl+S reaches the program through the page, in line with the keys
  // typed before it: the page still has keys to handle when a shortcut of
  // the window would already run, and the save would miss the last letters.
  view_->BindFunction(kSaveFunction, [this] { Save(); });
  BindPageFunctions();
  view_->AddStartScript(kSaveKeyScript);
  view_->AddStartScript(PageTexts::Script());
}

bool EditorWindow::LoadPost(const std::string& path) {
  BrowserView* view = view_.get();
  if (!view) return false;
  awaiting_text_ = true;
  bool loaded = view->WaitForLoad();
  if (view_.get() != view) return false;  // the window was closed meanwhile
  std::string text;
  std::string error;
  bool ok = loaded && ReadTextFile(path, &text, &error);
  if (loaded && ok) {
    SaySpelling(EditorSpelling::Apply(state_->workspace.root(), text));
    std::string ignored;
    ok = view->CallFunction("setValue", {text}, &ignored, &error);
    if (view_.get() != view) return false;
    // What the editor gives back for the file's text is what counts as
    // unchanged (line ends may differ in form).
    if (ok && !PageText(&saved_text_, &error)) saved_text_ = text;
  } else if (!loaded) {
    error = "the editor page has gone";
  }
  awaiting_text_ = false;
  if (!ok) {
    // Saving must not put an empty editor over the post it failed to open.
    state_->editingExisting = false;
    state_->postPath.clear();
    ShowFailure(Translation::Format(_("无法打开 %s\n%s"), path.c_str(), error.c_str()));
    UpdateTitle("");
    return false;
  }
  UpdateTitle(path);
  OfferCopy(path, saved_text_);
  SayEditing(path);
  return true;
}

void EditorWindow::OfferNewPostCopy() {
  BrowserView* view = view_.get();
  if (!view || !view->WaitForLoad() || view_.get() != view) return;
  if (state_->editingExisting) return;  // a post was opened meanwhile
  OfferCopy("", saved_text_);
}

bool EditorWindow::PageText(std::string* text, std::string* error) {
  if (!view_) {
    *error = "the editor is closed";
    return false;
  }
  return view_->CallFunction("getValue", {"0", "0"}, text, error);
}

bool EditorWindow::HasUnsavedChanges() {
  if (!window_ || awaiting_text_) return false;
  std::string text;
  std::string error;
  return PageText(&text, &error) && text != saved_text_;
}

bool EditorWindow::ConfirmDiscard() {
  if (!HasUnsavedChanges()) return true;
  std::string name = std::filesystem::path(state_->EditedPost()).filename().string();
  std::string question =
      name.empty() ? _("新文章有未保存的修改。\n【是】先保存【否】不保存【取消】继续编辑")
                   : Translation::Format(
                         _("「%s」有未保存的修改。\n【是】先保存【否】不保存【取消】继续编辑"),
                         name.c_str());
  gtk_window_present(GTK_WINDOW(window_));
  switch (MessageBox::Ask(GTK_WINDOW(window_), question, _(kUnsavedCaption), true,
                          MessageIcon::kExclamation)) {
    case MessageAnswer::kYes:
      return Save();
    case MessageAnswer::kNo:
      AutosaveStore(state_->workspace.root()).Remove(AutosaveKey());
      return true;
    case MessageAnswer::kCancel:
      break;
  }
  return false;
}

void EditorWindow::LetGoOfPost() {
  // The gone post's autosaved copy would be offered for nothing later; the
  // next autosave keeps the text under the new post's key instead.
  AutosaveStore(state_->workspace.root()).Remove(AutosaveKey());
  state_->editingExisting = false;
  state_->postPath.clear();
  // Nothing of the text is saved anywhere now.
  saved_text_.clear();
  autosaved_text_.clear();
  UpdateTitle("");
}

std::string EditorWindow::AutosaveKey() const { return state_->EditedPost(); }

void EditorWindow::OfferCopy(const std::string& key, const std::string& current) {
  AutosaveStore store(state_->workspace.root());
  std::string copy;
  if (!store.Read(key, &copy)) return;
  if (copy == current) {
    store.Remove(key);
    return;
  }
  MessageAnswer answer = MessageBox::Ask(
      GTK_WINDOW(window_),
      Translation::Format(
          _("发现上次没有保存的内容（自动保存的副本 %s）。\n【是】恢复这些内容【否】丢弃副本"),
          store.PathFor(key).c_str()),
      _(kRestoreCaption), false, MessageIcon::kQuestion);
  if (!view_) return;
  if (answer != MessageAnswer::kYes) {
    store.Remove(key);
    return;
  }
  std::string ignored;
  std::string error;
  if (view_->CallFunction("setValue", {copy}, &ignored, &error)) {
    autosaved_text_ = copy;
  } else {
    ShowFailure(
        Translation::Format(_("无法恢复 %s\n%s"), store.PathFor(key).c_str(), error.c_str()));
  }
}

void EditorWindow::AutosaveTick() {
  if (!window_ || saving_ || awaiting_text_ || autosaving_) return;
  autosaving_ = true;
  std::string text;
  std::string error;
  std::string key = AutosaveKey();
  if (PageText(&text, &error) && text != autosaved_text_) {
    AutosaveStore store(state_->workspace.root());
    if (text == saved_text_) {
      store.Remove(key);
      autosaved_text_ = text;
    } else if (store.Write(key, text, &error)) {
      autosaved_text_ = text;
    } else {
      std::fprintf(stderr, "tarn: autosave: %s\n", error.c_str());
    }
  }
  autosaving_ = false;
}

void EditorWindow::UpdateTitle(const std::string& path) {
  if (!window_) return;
  if (path.empty()) {
    gtk_window_set_title(GTK_WINDOW(window_), _(kTitle));
    return;
  }
  gchar* name = g_path_get_basename(path.c_str());
  std::string title = std::string(name) + " - " + _(kTitle);
  g_free(name);
  gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
}

bool EditorWindow::StartNewPost() {
  BrowserView* view = view_.get();
  if (!view || !view->WaitForLoad() || view_.get() != view) return false;
  // The page checks for typed text and sets the new one in one step, so no
  // keystroke falls between the two.
  std::string ignored;
  std::string error;
  if (!view->CallFunction("newPost", {FrontMatter::NewPostText("", std::time(nullptr))}, &ignored,
                          &error)) {
    return false;
  }
  // The starting text is no change of the writer's.
  if (view_.get() != view) return true;
  SaySpelling(EditorSpelling::Apply(state_->workspace.root(), ""));
  PageText(&saved_text_, &error);
  SayEditing("");
  return true;
}

void EditorWindow::SaySpelling(const std::vector<std::string>& languages) {
  std::string list;
  for (const std::string& language : languages) list += (list.empty() ? "" : " ") + language;
  std::printf("editor: spelling %s\n", list.empty() ? "off" : list.c_str());
  std::fflush(stdout);
}

void EditorWindow::SayEditing(const std::string& path) {
  std::printf("editor: editing %s\n", path.empty() ? "a new post" : path.c_str());
  std::fflush(stdout);
}

bool EditorWindow::Save(std::string* saved_path) {
  if (!window_ || saving_ || awaiting_text_) return false;
  saving_ = true;
  BrowserView* view = view_.get();
  std::string posts = state_->workspace.posts_dir();
  std::string folder_error;
  bool have_folder = EnsureFolder(posts, &folder_error);

  std::string text;
  std::string error;
  bool have_text = view->CallFunction("getValue", {"0", "0"}, &text, &error);
  if (view_.get() != view) return false;  // closed while the page answered
  std::string key = AutosaveKey();
  std::string path;
  if (!have_text) {
    ShowFailure(std::string(_(kSaveFailed)) + "\n" + error);
  } else if (state_->editingExisting) {
    // The folder matters only when the post lives in it; the write says so.
    path = state_->postPath;
  } else if (!have_folder) {
    ShowFailure(std::string(_(kSaveFailed)) + "\n" + folder_error);
  } else {
    path = PostSaveDialog::Ask(GTK_WINDOW(window_), posts, text);
    if (view_.get() != view) return false;
    if (path.empty()) {
      saving_ = false;
      if (save_cancelled_handler_) save_cancelled_handler_();
      return false;
    }
  }
  bool written = false;
  if (!path.empty()) {
    if (WriteTextFile(path, text, &error)) {
      written = true;
      std::printf("editor: saved %s\n", path.c_str());
      std::fflush(stdout);
      AutosaveStore(state_->workspace.root()).Remove(key);
      saved_text_ = text;
      autosaved_text_ = text;
      if (saved_path) *saved_path = path;
      ShowInPage(_(kSaved), kPageSuccess);
    } else {
      ShowFailure(std::string(_(kSaveFailed)) + "\n" + error);
    }
  }
  if (view_.get() == view) saving_ = false;
  if (written && saved_handler_) saved_handler_();
  return written;
}

void EditorWindow::ShowFailure(const std::string& message) {
  std::fprintf(stderr, "tarn: %s\n", message.c_str());
  ShowInPage(message, kPageError);
  if (window_) {
    MessageBox::ShowTimed(GTK_WINDOW(window_), message, "Error", MessageIcon::kExclamation);
  }
}

void EditorWindow::ShowInPage(const std::string& text, int kind) {
  if (!view_) return;
  std::string ignored;
  std::string error;
  view_->CallFunction("showMsg", {text, std::to_string(kind)}, &ignored, &error);
}

void EditorWindow::BindPageFunctions() {
  view_->BindFunction(kPreviewFunction, [this] { PreviewPost(); });
  view_->BindFunction(kPasteImageFunction, [this] { images_.Paste(); });
  view_->BindFunction(kHistoryFunction, [this] {
    if (!awaiting_text_) history_.Show();
  });
  view_->BindFunction(kRestoreFunction,
                      BrowserView::ArgumentFunction([this](const std::vector<std::string>& args) {
                        if (!saving_ && !awaiting_text_)
                          history_.Restore(args.empty() ? "" : args[0]);
                      }));
  view_->BindFunction(kKeepOriginalFunction,
                      BrowserView::ArgumentFunction([this](const std::vector<std::string>& args) {
                        if (!args.empty()) images_.KeepOriginal(args[0]);
                      }));
  front_matter_.Bind(view_.get());
  view_->BindFunction(kFullscreenFunction,
                      BrowserView::ArgumentFunction([this](const std::vector<std::string>& args) {
                        if (!window_) return;
                        if (!args.empty() && args[0] == "1")
                          gtk_window_fullscreen(GTK_WINDOW(window_));
                        else
                          gtk_window_unfullscreen(GTK_WINDOW(window_));
                      }));
  if (g_getenv("TARN_PAGE_TRACE")) {
    EditorSpelling::TraceContextMenus(view_->widget());
    view_->BindFunction(kTraceFunction,
                        BrowserView::ArgumentFunction([](const std::vector<std::string>& args) {
                          std::printf("page: %s\n", args.empty() ? "" : args[0].c_str());
                          std::fflush(stdout);
                        }));
  }
  // Files dropped on the text are taken before the page sees them.
  images_.TakeDrops(view_.get());
}

void EditorWindow::PreviewPost() {
  std::string path;
  if (!Save(&path) || !preview_handler_) return;
  preview_handler_(path);
}

int EditorWindow::OnDeleteEvent(GtkWidget*, void*, EditorWindow* self) {
  MessageAnswer answer = MessageBox::Ask(GTK_WINDOW(self->window_), _(kCloseText), _(kCloseCaption),
                                         false, MessageIcon::kExclamation);
  return answer == MessageAnswer::kYes ? FALSE : TRUE;  // FALSE lets the window go
}

void EditorWindow::OnDestroy(GtkWidget*, EditorWindow* self) {
  if (self->autosave_timer_) g_source_remove(self->autosave_timer_);
  self->autosave_timer_ = 0;
  self->window_ = nullptr;
  self->saving_ = false;
  self->awaiting_text_ = false;
  // The view's widget went with the window. The object is kept until the
  // next Open: this may run while one of its own waits is on the stack.
  self->retired_ = std::move(self->view_);
  if (self->closed_handler_) self->closed_handler_();
}

int EditorWindow::OnWindowState(GtkWidget*, void* event, EditorWindow*) {
  auto* state = static_cast<GdkEventWindowState*>(event);
  if (state->changed_mask & GDK_WINDOW_STATE_FULLSCREEN) {
    bool full = state->new_window_state & GDK_WINDOW_STATE_FULLSCREEN;
    std::printf("editor: full screen %s\n", full ? "on" : "off");
    std::fflush(stdout);
  }
  return FALSE;
}

int EditorWindow::OnDecidePolicy(void* view, void* decision, int type, EditorWindow* self) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  auto* action_decision = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(action_decision);
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  std::string target = WithoutFragment(webkit_uri_request_get_uri(request));
  std::string page = self->PageUri();
  // Only the editor page is protected: its own loads, and anything while
  // something else (an error page) is shown, go ahead.
  if (target == page || WithoutFragment(webkit_web_view_get_uri(WEBKIT_WEB_VIEW(view))) != page) {
    return FALSE;
  }
  if (webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED &&
      (g_str_has_prefix(target.c_str(), "http://") ||
       g_str_has_prefix(target.c_str(), "https://") ||
       g_str_has_prefix(target.c_str(), "mailto:"))) {
    g_app_info_launch_default_for_uri(webkit_uri_request_get_uri(request), nullptr, nullptr);
  }
  webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
  return TRUE;
}

}  // namespace tarn
