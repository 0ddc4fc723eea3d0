#include "app/post_manager.h"

#include <fcntl.h>
#include <glib/gi18n.h>
#include <stdio.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <gio/gio.h>
#include <gtk/gtk.h>

#include "app/app_state.h"
#include "app/browser_view.h"
#include "app/message_box.h"
#include "content/clock.h"
#include "content/post_catalog.h"
#include "content/post_index.h"
#include "data/translation.h"
#include "workspace/contained_path.h"

namespace tarn {
namespace {

// Asks for a new file name in a small dialog; "" when cancelled.
std::string AskName(GtkWindow* parent, const std::string& current) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons(
      _(PostManager::kRenameTitle), parent, GTK_DIALOG_MODAL, _("取消(_C)"), GTK_RESPONSE_CANCEL,
      _("重命名(_R)"), GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_container_set_border_width(GTK_CONTAINER(box), 12);
  gtk_box_set_spacing(GTK_BOX(box), 8);
  std::string prompt = Translation::Format(_("「%s」的新文件名："), current.c_str());
  gtk_box_pack_start(GTK_BOX(box), gtk_label_new(prompt.c_str()), FALSE, FALSE, 0);
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(entry), current.c_str());
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  gtk_entry_set_width_chars(GTK_ENTRY(entry), 40);
  gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 0);
  gtk_widget_show_all(dialog);
  std::printf("message: %s: %s\n", _(PostManager::kRenameTitle), prompt.c_str());
  std::fflush(stdout);
  std::string name;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    name = gtk_entry_get_text(GTK_ENTRY(entry));
  }
  gtk_widget_destroy(dialog);
  return name;
}

}  // namespace

PostManager::PostManager(AppState* state, BrowserView* page, std::function<GtkWindow*()> parent)
    : state_(state), page_(page), parent_(std::move(parent)) {}

void PostManager::SendList() {
  if (!page_->HasFunction("tarnShowPosts")) return;
  std::string json =
      PostCatalog::ToJson(PostCatalog::Read(state_->workspace.posts_dir(), Clock::Now()));
  std::string count;
  std::string error;
  if (!page_->CallFunction("tarnShowPosts", {json}, &count, &error)) {
    std::fprintf(stderr, "tarn: the post list: %s\n", error.c_str());
    return;
  }
  std::printf("manager: listed %s posts\n", count.c_str());
  std::fflush(stdout);
}

void PostManager::Fail(const std::string& text) {
  std::fprintf(stderr, "tarn: %s\n", text.c_str());
  MessageBox::ShowTimed(parent_(), text, "Error", MessageIcon::kExclamation);
}

std::string PostManager::PostPath(const std::string& name) {
  std::string path;
  std::string error;
  if (!PostIndex::IsPostName(name)) {
    error = "\"" + name.substr(0, 300) + "\" is not the name of a post (*.md) in _posts/";
  } else if (ContainedPath::Resolve(state_->workspace.posts_dir(), name, &path, &error) &&
             !g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR)) {
    error = path + ": no such post";
  }
  if (!error.empty()) {
    Fail(_("无法打开文章\n") + error);
    return "";
  }
  return path;
}

bool PostManager::Delete(const std::string& name) {
  std::string path = PostPath(name);
  if (path.empty()) return false;
  if (MessageBox::Ask(parent_(), Translation::Format(_("把「%s」移到回收站？"), name.c_str()),
                      _(kDeleteCaption), false, MessageIcon::kExclamation) != MessageAnswer::kYes) {
    return false;
  }
  GFile* file = g_file_new_for_path(path.c_str());
  GError* error = nullptr;
  bool trashed = g_file_trash(file, nullptr, &error);
  g_object_unref(file);
  if (!trashed) {
    bool no_trash = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED);
    Fail(std::string(no_trash ? _("这里没有可用的回收站，文章没有删除\n") : _("删除失败\n")) +
         path + ": " + error->message);
    g_error_free(error);
    return false;
  }
  std::printf("manager: trashed %s\n", path.c_str());
  std::fflush(stdout);
  return true;
}

bool PostManager::Rename(const std::string& name, std::string* new_path) {
  std::string path = PostPath(name);
  if (path.empty()) return false;
  std::string new_name = AskName(parent_(), name);
  if (new_name.empty() || new_name == name) return false;
  if (!PostIndex::IsPostName(new_name)) new_name += ".md";
  std::string target;
  std::string error;
  if (!ContainedPath::Resolve(state_->workspace.posts_dir(), new_name, &target, &error)) {
    Fail(_("重命名失败\n") + error);
    return false;
  }
  // Never over another post: the rename fails when the name is taken.
  if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    Fail(_("重命名失败\n") + path + " -> " + target + ": " +
         (errno == EEXIST ? std::string("a file of that name exists") : std::strerror(errno)));
    return false;
  }
  std::printf("manager: renamed %s to %s\n", path.c_str(), target.c_str());
  std::fflush(stdout);
  *new_path = target;
  return true;
}

}  // namespace tarn
