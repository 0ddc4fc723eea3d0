// ReaderPreview: the post editor's preview button, after the post is
// saved: builds the site (on this thread, converting in the manager page),
// then opens the post's article page in the desktop's browser, or says why
// not in a message box over the editor (over the main window when the
// editor is closed).
//
// Which page is the post's, and whether a post is a draft, is the build's
// rule (PostIndex::ReadPost, PostFile::ArticleFile); only posts directly in
// _posts/ are built.
//
// Thread safety: user-interface thread only.
#pragma once

#include <functional>
#include <string>

#include "workspace/workspace.h"

typedef struct _GtkWindow GtkWindow;

namespace tarn {

class ReasonLog;
class SiteBuild;

class ReaderPreview {
 public:
  // Neither build nor reasons is owned; both must outlive this object.
  // owner gives the window the messages show over (may return null);
  // refresh renders the manager page again after the build.
  ReaderPreview(Workspace workspace, SiteBuild* build, ReasonLog* reasons,
                std::function<GtkWindow*()> owner, std::function<void()> refresh);
  ReaderPreview(const ReaderPreview&) = delete;
  ReaderPreview& operator=(const ReaderPreview&) = delete;

  // Builds the site and opens the article page of the post at path
  // (absolute) in the desktop's browser, writing "editor: opened URI" to
  // standard output. Refused, with a message, while another build runs, for
  // a post outside _posts/ and for a draft; a failed build, a missing page
  // and a browser that cannot be started are shown too.
  void Show(const std::string& path);

 private:
  // Opens page (a file) in the desktop's browser, or says why not.
  void OpenPage(const std::string& page);
  void Fail(const std::string& text);

  Workspace workspace_;
  SiteBuild* build_;
  ReasonLog* reasons_;
  std::function<GtkWindow*()> owner_;
  std::function<void()> refresh_;
};

}  // namespace tarn
