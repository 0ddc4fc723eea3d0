#include "app/editor_window.h"

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
#include "app/message_box.h"
#include "content/front_matter.h"
#include "content/post_index.h"
#include "data/text_file.h"
#include "workspace/autosave_store.h"
#include "workspace/contained_path.h"
#include "workspace/image_store.h"

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
// The page's history button, and its choice of one version.
constexpr char kHistoryFunction[] = "tarnListHistory";
constexpr char kRestoreFunction[] = "tarnRestoreVersion";
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

EditorWindow::EditorWindow(AppState* state) : state_(state) {}

EditorWindow::~EditorWindow() {
  if (autosave_timer_) g_source_remove(autosave_timer_);
  if (window_) {
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
  }
}

GtkWindow* EditorWindow::window() const { return window_ ? GTK_WINDOW(window_) : nullptr; }

std::string EditorWindow::PageUri() const {
  std::string page = state_->templateDir + kPage;
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
  UpdateTitle(state_->editingExisting ? state_->postPath : "");
  gtk_window_set_default_size(GTK_WINDOW(window_), kWidth, kHeight);
  gtk_window_move(GTK_WINDOW(window_), kLeft, kTop);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);

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
  WebKitUserScript* script =
      webkit_user_script_new(kSaveKeyScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(
      webkit_web_view_get_user_content_manager(WEBKIT_WEB_VIEW(view_->widget())), script);
  webkit_user_script_unref(script);
  gtk_widget_show_all(window_);
  autosave_timer_ = g_timeout_add(
      kAutosaveMs,
      [](gpointer data) -> gboolean {
        static_cast<EditorWindow*>(data)->AutosaveTick();
        return G_SOURCE_CONTINUE;
      },
      this);

  std::string page = state_->templateDir + kPage;
  if (g_file_test(page.c_str(), G_FILE_TEST_IS_REGULAR)) {
    view_->LoadFile(page);
  } else {
    view_->ShowErrorPage(
        "The post editor page is missing",
        "Looked for: " + page + "\n\nThe workspace's template/ folder should hold editor.html.");
  }
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
    ShowFailure("无法打开 " + path + "\n" + error);
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
  std::string name =
      state_->editingExisting ? std::filesystem::path(state_->postPath).filename().string() : "";
  std::string what = name.empty() ? "新文章" : "「" + name + "」";
  gtk_window_present(GTK_WINDOW(window_));
  switch (MessageBox::Ask(GTK_WINDOW(window_),
                          what + "有未保存的修改。\n【是】先保存【否】不保存【取消】继续编辑",
                          kUnsavedCaption, true, MessageIcon::kExclamation)) {
    case MessageAnswer::kYes:
      return Save();
    case MessageAnswer::kNo:
      AutosaveStore(state_->rootDir).Remove(AutosaveKey());
      return true;
    case MessageAnswer::kCancel:
      break;
  }
  return false;
}

void EditorWindow::LetGoOfPost() {
  // The gone post's autosaved copy would be offered for nothing later; the
  // next autosave keeps the text under the new post's key instead.
  AutosaveStore(state_->rootDir).Remove(AutosaveKey());
  state_->editingExisting = false;
  state_->postPath.clear();
  // Nothing of the text is saved anywhere now.
  saved_text_.clear();
  autosaved_text_.clear();
  UpdateTitle("");
}

std::string EditorWindow::AutosaveKey() const {
  return state_->editingExisting ? state_->postPath : "";
}

void EditorWindow::OfferCopy(const std::string& key, const std::string& current) {
  AutosaveStore store(state_->rootDir);
  std::string copy;
  if (!store.Read(key, &copy)) return;
  if (copy == current) {
    store.Remove(key);
    return;
  }
  MessageAnswer answer =
      MessageBox::Ask(GTK_WINDOW(window_),
                      "发现上次没有保存的内容（自动保存的副本 " + store.PathFor(key) +
                          "）。\n【是】恢复这些内容【否】丢弃副本",
                      kRestoreCaption, false, MessageIcon::kQuestion);
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
    ShowFailure("无法恢复 " + store.PathFor(key) + "\n" + error);
  }
}

void EditorWindow::AutosaveTick() {
  if (!window_ || saving_ || awaiting_text_ || autosaving_) return;
  autosaving_ = true;
  std::string text;
  std::string error;
  std::string key = AutosaveKey();
  if (PageText(&text, &error) && text != autosaved_text_) {
    AutosaveStore store(state_->rootDir);
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
    gtk_window_set_title(GTK_WINDOW(window_), kTitle);
    return;
  }
  gchar* name = g_path_get_basename(path.c_str());
  std::string title = std::string(name) + " - " + kTitle;
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
  PageText(&saved_text_, &error);
  SayEditing("");
  return true;
}

void EditorWindow::SayEditing(const std::string& path) {
  std::printf("editor: editing %s\n", path.empty() ? "a new post" : path.c_str());
  std::fflush(stdout);
}

bool EditorWindow::Save(std::string* saved_path) {
  if (!window_ || saving_ || awaiting_text_) return false;
  saving_ = true;
  BrowserView* view = view_.get();
  std::string posts = state_->rootDir + "/_posts";
  std::string folder_error;
  bool have_folder = EnsureFolder(posts, &folder_error);

  std::string text;
  std::string error;
  bool have_text = view->CallFunction("getValue", {"0", "0"}, &text, &error);
  if (view_.get() != view) return false;  // closed while the page answered
  std::string key = AutosaveKey();
  std::string path;
  if (!have_text) {
    ShowFailure(std::string(kSaveFailed) + "\n" + error);
  } else if (state_->editingExisting) {
    // The folder matters only when the post lives in it; the write says so.
    path = state_->postPath;
  } else if (!have_folder) {
    ShowFailure(std::string(kSaveFailed) + "\n" + folder_error);
  } else {
    path = AskSavePath(posts, SuggestedName(text));
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
      AutosaveStore(state_->rootDir).Remove(key);
      saved_text_ = text;
      autosaved_text_ = text;
      if (saved_path) *saved_path = path;
      ShowInPage(kSaved, kPageSuccess);
    } else {
      ShowFailure(std::string(kSaveFailed) + "\n" + error);
    }
  }
  if (view_.get() == view) saving_ = false;
  if (written && saved_handler_) saved_handler_();
  return written;
}

std::string EditorWindow::AskSavePath(const std::string& folder, const std::string& suggested) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      kSaveTitle, GTK_WINDOW(window_), GTK_FILE_CHOOSER_ACTION_SAVE, "取消(_C)",
      GTK_RESPONSE_CANCEL, "保存(_S)", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, kSaveFilter);
  gtk_file_filter_add_pattern(filter, "*.md");
  gtk_file_chooser_add_filter(chooser, filter);
  gtk_file_chooser_set_current_folder(chooser, folder.c_str());
  if (!suggested.empty()) gtk_file_chooser_set_current_name(chooser, suggested.c_str());
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);

  std::string path;
  while (path.empty() && gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* chosen = gtk_file_chooser_get_filename(chooser);
    if (!chosen) continue;
    path = chosen;
    g_free(chosen);
    // A post is a .md file: a name typed without that ending gets it.
    if (!PostIndex::IsPostName(path)) {
      path += ".md";
      // The dialog asked about the name as typed; ask about the real one.
      if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS) &&
          MessageBox::Ask(GTK_WINDOW(dialog), path + " 已存在，是否替换？", kSaveTitle, false,
                          MessageIcon::kExclamation) != MessageAnswer::kYes) {
        path.clear();
      }
    }
  }
  gtk_widget_destroy(dialog);
  return path;
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

std::string EditorWindow::SuggestedName(const std::string& text) {
  // The front matter's title; without one, the first "# " heading.
  FrontMatter front;
  std::string title;
  if (front.Read(text, "", {})) title = front.GetText("title");
  std::size_t at = front.body_offset();
  while (at < text.size() && title.empty()) {
    std::size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (line.rfind("# ", 0) == 0) title = line.substr(2);
    at = end == std::string::npos ? text.size() : end + 1;
  }
  std::string name = ContainedPath::NameFromTitle(title);
  return name.empty() ? "" : name + ".md";
}

void EditorWindow::BindPageFunctions() {
  view_->BindFunction(kPreviewFunction, [this] { PreviewPost(); });
  view_->BindFunction(kPasteImageFunction, [this] { PasteImage(); });
  view_->BindFunction(kHistoryFunction, [this] { ShowHistory(); });
  view_->BindFunction(kRestoreFunction,
                      BrowserView::ArgumentFunction([this](const std::vector<std::string>& args) {
                        RestoreVersion(args.empty() ? "" : args[0]);
                      }));
  // Files dropped on the text are taken here, before the page sees them.
  g_signal_connect(view_->widget(), "drag-drop", G_CALLBACK(OnDragDrop), this);
  g_signal_connect(view_->widget(), "drag-data-received", G_CALLBACK(OnDragDataReceived), this);
}

void EditorWindow::InsertImage(const std::string& original_name, const std::string& bytes) {
  std::string images = state_->rootDir + "/static/images";
  std::string name;
  std::string error;
  if (!ImageStore::Save(images, original_name, bytes, std::time(nullptr), &name, &error)) {
    ShowFailure("图片保存失败\n" + error);
    return;
  }
  std::printf("editor: image saved %s/%s\n", images.c_str(), name.c_str());
  std::fflush(stdout);
  std::string alt = std::filesystem::path(original_name).stem().string();
  std::string ignored;
  if (!view_ ||
      !view_->CallFunction("insertText", {ImageStore::MarkdownLink(name, alt)}, &ignored, &error)) {
    ShowFailure("图片已保存为 " + images + "/" + name + "，但无法插入链接\n" + error);
  }
}

void EditorWindow::PasteImage() {
  if (!window_) return;
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  GdkPixbuf* image = gtk_clipboard_wait_for_image(clipboard);
  if (!image) return;  // nothing the editor can paste
  gchar* buffer = nullptr;
  gsize size = 0;
  GError* error = nullptr;
  if (gdk_pixbuf_save_to_buffer(image, &buffer, &size, "png", &error, nullptr)) {
    InsertImage("", std::string(buffer, size));
  } else {
    ShowFailure(std::string("图片保存失败\n") + error->message);
    g_error_free(error);
  }
  g_free(buffer);
  g_object_unref(image);
}

void EditorWindow::PreviewPost() {
  std::string path;
  if (!Save(&path) || !preview_handler_) return;
  preview_handler_(path);
}

void EditorWindow::ShowHistory() {
  if (!window_ || history_busy_ || awaiting_text_) return;
  BrowserView* view = view_.get();
  std::string post = state_->editingExisting ? state_->postPath : "";
  PostHistoryListing listing;
  if (post.empty()) {
    listing.reason = "新文章还没有历史版本：先保存，再备份";
  } else {
    // git runs while the window goes on handling events; the guard keeps
    // a second click from starting another listing meanwhile.
    history_busy_ = true;
    listing = PostHistory(state_->rootDir).List(post);
    history_busy_ = false;
    if (view_.get() != view) return;  // the window was closed meanwhile
    if (post != (state_->editingExisting ? state_->postPath : "")) return;  // another post
  }
  history_post_ = post;
  history_ = listing.versions;
  std::string ignored;
  std::string error;
  if (!view->CallFunction("showHistory", {PostHistory::ToJson(listing)}, &ignored, &error)) {
    std::fprintf(stderr, "tarn: history: %s\n", error.c_str());
    return;
  }
  std::printf("editor: history of %s: %zu versions\n", post.empty() ? "(new post)" : post.c_str(),
              history_.size());
  std::fflush(stdout);
}

void EditorWindow::RestoreVersion(const std::string& commit) {
  if (!window_ || history_busy_ || saving_ || awaiting_text_) return;
  BrowserView* view = view_.get();
  std::string post = state_->editingExisting ? state_->postPath : "";
  const PostVersion* chosen = nullptr;
  if (PostHistory::IsCommitId(commit) && !post.empty() && post == history_post_) {
    for (const PostVersion& version : history_) {
      if (version.commit == commit) chosen = &version;
    }
  }
  if (!chosen) {
    ShowFailure("无法载入历史版本\n\"" + commit + "\" is no listed version of " +
                (post.empty() ? "this post" : post));
    return;
  }
  PostVersion version = *chosen;
  std::string text;
  std::string error;
  history_busy_ = true;
  bool read = PostHistory(state_->rootDir).Read(version, &text, &error);
  history_busy_ = false;
  if (view_.get() != view) return;
  std::string ignored;
  if (!read || !view->CallFunction("restoreVersion", {text, PostHistory::DateText(version.time)},
                                   &ignored, &error)) {
    ShowFailure("无法载入历史版本\n" + error);
    return;
  }
  std::printf("editor: restored %s of %s\n", version.commit.c_str(), post.c_str());
  std::fflush(stdout);
}

int EditorWindow::OnDragDrop(GtkWidget* widget, void* context, int, int, unsigned time,
                             EditorWindow* self) {
  return self->drop_.Begin(widget, context, time);  // dragged text: the editor's own
}

void EditorWindow::OnDragDataReceived(GtkWidget* widget, void* context, int, int, void* data,
                                      unsigned, unsigned time, EditorWindow* self) {
  std::vector<std::string> files = self->drop_.Take(widget, context, data, time);
  for (const std::string& file : files) {
    std::string bytes;
    std::string error;
    if (!ReadTextFile(file, &bytes, &error)) {
      self->ShowFailure("图片保存失败\n" + error);
    } else if (ImageStore::SniffExtension(bytes).empty()) {
      self->ShowFailure("图片保存失败\n" + file + ": not a PNG, JPEG, GIF, WebP or BMP image");
    } else {
      self->InsertImage(std::filesystem::path(file).filename().string(), bytes);
    }
    if (!self->view_) break;
  }
}

int EditorWindow::OnDeleteEvent(GtkWidget*, void*, EditorWindow* self) {
  MessageAnswer answer = MessageBox::Ask(GTK_WINDOW(self->window_), kCloseText, kCloseCaption,
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
