// EditorFrontMatter: what the post editor page's front-matter form asks of
// the program. Set edits the front matter of the page's text with
// FrontMatterEditor, so that every key, comment and line it does not set
// stays byte for byte, and gives the edited text back to the page (its
// applyFrontMatter, which makes it one undo step); what cannot be edited
// safely is shown as a failure and the text left alone. ListTags gives the
// page (its showBlogTags) every tag and category the blog's posts use, for
// the form's completion.
//
// Each writes what it did to standard output ("editor: front matter set",
// "editor: listed N tags").
//
// Thread safety: user-interface thread only.
#pragma once

#include <functional>
#include <string>

namespace tarn {

struct AppState;
class BrowserView;

class EditorFrontMatter {
 public:
  // The page's calls: tarnSetFrontMatter(request), tarnListTags().
  static constexpr char kSetFunction[] = "tarnSetFrontMatter";
  static constexpr char kTagsFunction[] = "tarnListTags";

  // state is not owned and must outlive this object. view gives the editor
  // page's view, null while the editor is closed; fail shows a failure in
  // the editor.
  EditorFrontMatter(const AppState* state, std::function<BrowserView*()> view,
                    std::function<void(const std::string&)> fail);
  EditorFrontMatter(const EditorFrontMatter&) = delete;
  EditorFrontMatter& operator=(const EditorFrontMatter&) = delete;

  // Binds the page's two calls to view.
  void Bind(BrowserView* view);

  // request is JSON: {"text": the page's text, "fields": [{"key", "kind":
  // "text" | "literal" | "list", "value" or "values"}]}. A request that is
  // no such JSON, or an edit FrontMatterEditor refuses, is shown as a
  // failure naming the reason.
  void Set(const std::string& request);
  // Sends the blog's tags and categories, each sorted and once:
  // {"tags": [...], "categories": [...]}.
  void ListTags();

 private:
  const AppState* state_;
  std::function<BrowserView*()> view_;
  std::function<void(const std::string&)> fail_;
};

}  // namespace tarn
