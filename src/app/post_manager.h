// PostManager: what the manager page's post list does with the posts of
// _posts/: it lists them (PostCatalog, handed to the page's tarnShowPosts),
// moves one to the desktop's trash, and renames one. Every name the page
// sends is checked with ContainedPath before use; each change is asked
// about first, and a failure names the file and the reason and changes
// nothing.
//
// Failures are shown in a message box (and on standard error) by the
// manager itself; the methods' results only say whether anything changed.
//
// Thread safety: user-interface thread only.
#pragma once

#include <glib/gi18n.h>

#include <functional>
#include <string>

typedef struct _GtkWindow GtkWindow;

namespace tarn {

struct AppState;
class BrowserView;

class PostManager {
 public:
  static constexpr const char* kDeleteCaption = N_("删除文章");
  static constexpr const char* kRenameTitle = N_("重命名文章");

  // None of the objects is owned; all must outlive the manager. parent
  // gives the window that owns the questions and messages.
  PostManager(AppState* state, BrowserView* page, std::function<GtkWindow*()> parent);

  // Sends the list of posts to the page shown (its tarnShowPosts). A page
  // without that function is left alone; a failed call is written to
  // standard error only.
  void SendList();

  // The full path of the post named name in _posts/; "" after showing why
  // the name is refused (not a .md name, no such regular file, leading out
  // of _posts/).
  std::string PostPath(const std::string& name);

  // Asks, then moves the post to the trash. Where there is no trash, says
  // so and deletes nothing. Returns true when the post went.
  bool Delete(const std::string& name);

  // Asks for the new name (".md" added when missing), then renames the
  // post within _posts/, never over another file. Returns true when
  // renamed, with the new path in *new_path.
  bool Rename(const std::string& name, std::string* new_path);

 private:
  void Fail(const std::string& text);

  AppState* state_;
  BrowserView* page_;
  std::function<GtkWindow*()> parent_;
};

}  // namespace tarn
