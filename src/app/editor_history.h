// EditorHistory: the post editor page's history button. Show lists the
// earlier versions of the post the editor works on, from the workspace's
// backups (PostHistory), in the page (its showHistory); Restore puts the
// text of one listed version into the editor through the page's
// restoreVersion, as an unsaved change that undo takes back. Nothing is
// written until the writer saves.
//
// git runs while the window goes on handling events; meanwhile both do
// nothing, so a second click starts no second listing. Each writes what it
// did to standard output ("editor: history of PATH: N versions", "editor:
// restored COMMIT of PATH").
//
// Thread safety: user-interface thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "deploy/post_history.h"

namespace tarn {

struct AppState;
class BrowserView;

class EditorHistory {
 public:
  // state is not owned and must outlive this object. view gives the editor
  // page's view, null while the editor is closed; fail shows a failure in
  // the editor.
  EditorHistory(const AppState* state, std::function<BrowserView*()> view,
                std::function<void(const std::string&)> fail);
  EditorHistory(const EditorHistory&) = delete;
  EditorHistory& operator=(const EditorHistory&) = delete;

  // Lists the post's versions in the page (a new post gets the reason it
  // has none). A page that refuses the list is written to standard error.
  // Does nothing while the editor is closed or git runs.
  void Show();

  // Puts the version with that commit id into the editor, unsaved. An id
  // that was not listed for the post the editor works on is refused, and a
  // version that cannot be read is shown as a failure. Does nothing while
  // the editor is closed or git runs; the caller keeps it from running
  // while a save does.
  void Restore(const std::string& commit);

 private:
  const AppState* state_;
  std::function<BrowserView*()> view_;
  std::function<void(const std::string&)> fail_;
  bool busy_ = false;   // git is reading the post's history
  std::string listed_;  // the post versions_ was listed for
  std::vector<PostVersion> versions_;
};

}  // namespace tarn
