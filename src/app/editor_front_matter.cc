#include "app/editor_front_matter.h"

#include <cstdio>
#include <set>
#include <vector>

#include "app/app_state.h"
#include "app/browser_view.h"
#include "content/front_matter_editor.h"
#include "content/post_index.h"
#include "data/json_document.h"

namespace tarn {
namespace {

// The page's answers.
constexpr char kApplyFunction[] = "applyFrontMatter";
constexpr char kTagsAnswer[] = "showBlogTags";

// Puts the request's fields into editor. False with *error when a field is
// not one the form sends.
bool TakeFields(const JsonDocument& request, FrontMatterEditor* editor, std::string* error) {
  int count = request.GetCount("fields");
  for (int i = 0; i < count; ++i) {
    std::string at = "fields[" + std::to_string(i) + "]";
    std::string key = request.GetText(at + ".key");
    std::string kind = request.GetText(at + ".kind");
    if (key.empty()) {
      *error = "a field without a key";
      return false;
    }
    if (kind == "text") {
      editor->SetText(key, request.GetText(at + ".value"));
    } else if (kind == "literal") {
      editor->SetLiteral(key, request.GetText(at + ".value"));
    } else if (kind == "list") {
      std::vector<std::string> values;
      int n = request.GetCount(at + ".values");
      for (int j = 0; j < n; ++j) {
        values.push_back(request.GetText(at + ".values[" + std::to_string(j) + "]"));
      }
      editor->SetList(key, values);
    } else {
      *error = "field '" + key + "' has no kind the form sends";
      return false;
    }
  }
  return true;
}

void AddAll(const std::set<std::string>& names, const std::string& path, JsonDocument* doc) {
  for (const std::string& name : names) doc->Append(path, JsonDocument::NewText(name));
}

}  // namespace

EditorFrontMatter::EditorFrontMatter(const AppState* state, std::function<BrowserView*()> view,
                                     std::function<void(const std::string&)> fail)
    : state_(state), view_(std::move(view)), fail_(std::move(fail)) {}

void EditorFrontMatter::Bind(BrowserView* view) {
  view->BindFunction(kSetFunction,
                     BrowserView::ArgumentFunction([this](const std::vector<std::string>& args) {
                       Set(args.empty() ? "" : args[0]);
                     }));
  view->BindFunction(kTagsFunction, [this] { ListTags(); });
}

void EditorFrontMatter::Set(const std::string& request) {
  JsonDocument doc;
  std::string error;
  std::string text;
  bool ok = doc.Parse(request) && doc.Exists("text");
  if (!ok) error = "the form's request is no JSON object with a text";
  if (ok) {
    FrontMatterEditor editor(doc.GetText("text"));
    ok = TakeFields(doc, &editor, &error) && editor.Apply(&text, &error);
  }
  BrowserView* view = view_();
  if (!view) return;
  if (!ok) {
    fail_("The front matter was left as it is: " + error);
    return;
  }
  std::string ignored;
  if (!view->CallFunction(kApplyFunction, {text}, &ignored, &error)) {
    std::fprintf(stderr, "tarn: editor: %s: %s\n", kApplyFunction, error.c_str());
    return;
  }
  std::printf("editor: front matter set\n");
  std::fflush(stdout);
}

void EditorFrontMatter::ListTags() {
  std::set<std::string> tags;
  std::set<std::string> categories;
  // A post that cannot be read has no tags to offer; the list is only a
  // suggestion, so nothing is reported.
  DiagnosticSink quiet = [](const std::string&) {};
  for (const PostFile& post : PostIndex::Scan(state_->workspace.posts_dir(), quiet)) {
    tags.insert(post.tags.begin(), post.tags.end());
    categories.insert(post.categories.begin(), post.categories.end());
  }
  JsonDocument answer = JsonDocument::NewObject();
  answer.SetEmptyArray("tags");
  answer.SetEmptyArray("categories");
  AddAll(tags, "tags", &answer);
  AddAll(categories, "categories", &answer);
  BrowserView* view = view_();
  std::string ignored;
  std::string error;
  if (!view || !view->CallFunction(kTagsAnswer, {answer.ToText()}, &ignored, &error)) {
    if (view) std::fprintf(stderr, "tarn: editor: %s: %s\n", kTagsAnswer, error.c_str());
    return;
  }
  std::printf("editor: listed %zu tags\n", tags.size());
  std::fflush(stdout);
}

}  // namespace tarn
