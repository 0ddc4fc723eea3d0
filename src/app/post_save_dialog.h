// PostSaveDialog: asks where to save a new post. The dialog starts in the
// posts folder and offers a name made from the post's title; a name typed
// without ".md" gets it, and a file of the resulting name is replaced only
// after asking.
//
// Thread safety: user-interface thread only.
#pragma once

#include <glib/gi18n.h>

#include <string>

typedef struct _GtkWindow GtkWindow;

namespace tarn {

class PostSaveDialog {
 public:
  static constexpr const char* kTitle = N_("选择文件保存位置");
  static constexpr const char* kFilter = N_("Markdown文件(*.md)");

  // Runs the dialog over parent (may be null), starting in folder and
  // offering SuggestedName(text) when it is not empty. Returns the chosen
  // path, or "" when the user cancelled.
  static std::string Ask(GtkWindow* parent, const std::string& folder, const std::string& text);

 private:
  // A file name for a post from its text: its front matter's title, else
  // its first "# " heading, made safe as a name (ContainedPath) with ".md"
  // added; "" when the text has neither.
  static std::string SuggestedName(const std::string& text);
};

}  // namespace tarn
