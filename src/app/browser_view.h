// BrowserView: a WebKitGTK view showing one of the program's own HTML pages,
// with the two directions of the page bridge:
//  - native functions bound under global JavaScript names, which the page
//    calls with or without arguments (each passed on as String(argument))
//    and which give back undefined;
//  - calls from the program into the page's global functions, with string
//    arguments and the result converted to a string.
// The waits (for a load, for a call's result) iterate the GLib main context,
// so windows stay responsive and timers keep running meanwhile; a bound
// function may therefore run in the middle of another operation.
//
// Only the page itself reaches the bound functions: a call is taken while
// the view shows the file last given to LoadFile, and only from the
// functions the view defined in its top frame, which sign each message with
// a secret of this view. Frames inside the page, and pages the view was
// navigated to, are not heard.
//
// The object owns its widget (a reference is held until the object goes);
// the window the widget is put into may destroy it first, after which the
// view loads and answers nothing more. Bound functions queued when the
// object goes are dropped.
//
// Thread safety: user-interface thread only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitUserContentManager WebKitUserContentManager;

namespace tarn {

class BrowserView {
 public:
  BrowserView();
  ~BrowserView();
  BrowserView(const BrowserView&) = delete;
  BrowserView& operator=(const BrowserView&) = delete;

  // The view widget, to be put into a window.
  GtkWidget* widget() const;

  // Starts loading the local file at path (a full path). Loading goes on in
  // the background; IsLoadingCompleted tells when it has ended, whether the
  // page loaded or failed. Only this file's page reaches the bound functions.
  // A path that cannot be made a URI loads an empty page.
  void LoadFile(const std::string& path);

  // Shows html as a page whose relative links resolve against base_dir ("":
  // none). Such a page does not reach the bound functions.
  void LoadHtml(const std::string& html, const std::string& base_dir);

  // True once the last load has ended (loaded or failed).
  bool IsLoadingCompleted() const { return !loading_; }

  // Iterates the main context until the last load has ended. Returns false
  // when the web process ended or the widget was destroyed, before or
  // meanwhile.
  bool WaitForLoad();

  // Binds function under the global JavaScript name for every page loaded
  // afterwards. The page's call returns at once (undefined); the function
  // runs on the user-interface thread from the main loop. Binding a name
  // again replaces its function, for the page shown as well.
  void BindFunction(const std::string& name, std::function<void()> function);
  // The same for a function that takes the page's arguments, as texts
  // (undefined and null become "").
  using ArgumentFunction = std::function<void(const std::vector<std::string>& args)>;
  void BindFunction(const std::string& name, ArgumentFunction function);

  // Runs source in the top frame of every page loaded afterwards, before
  // the page's own scripts.
  void AddStartScript(const std::string& source);

  // A JavaScript string literal that stands for text.
  static std::string ScriptLiteral(const std::string& text);

  // True when the page shown defines a global function of that name; false
  // also when the page cannot answer (it has gone, or the question failed).
  bool HasFunction(const std::string& name);

  // Calls the page's global function `name` with string arguments and stores
  // String(its result) in *result. Returns false, with *error saying why
  // (no such function, it threw, it gave no text back, the page went away),
  // and *result empty. Iterates the main context until the page answers.
  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error);

  // The local file last given to LoadFile ("" after LoadHtml).
  const std::string& loaded_path() const { return loaded_path_; }

  // Shows a plain page that says what went wrong: title as its heading,
  // detail below it (both plain text).
  void ShowErrorPage(const std::string& title, const std::string& detail);

  // Called each time the last load has ended.
  void set_loaded_handler(std::function<void()> handler) { loaded_handler_ = std::move(handler); }

  // Called when the web process ended unexpectedly (crash, killed).
  void set_crash_handler(std::function<void()> handler) { crash_handler_ = std::move(handler); }

 private:
  static void OnLoadChanged(WebKitWebView* view, int event, BrowserView* self);
  static void OnScriptMessage(WebKitUserContentManager* manager, void* js_result,
                              BrowserView* self);
  static void OnWebProcessTerminated(WebKitWebView* view, int reason, BrowserView* self);

  // Runs body (an async function body) with the given named string
  // arguments. A string value goes to *result; null sets *was_null (when
  // given); anything else, or an exception, is an error.
  bool Evaluate(const std::string& body,
                const std::vector<std::pair<std::string, std::string>>& args, std::string* result,
                std::string* error, bool* was_null = nullptr);

  WebKitWebView* view_ = nullptr;
  WebKitUserContentManager* content_ = nullptr;
  bool loading_ = false;
  bool gone_ = false;  // the web process ended or the widget was destroyed
  std::string loaded_path_;
  std::map<std::string, ArgumentFunction> functions_;
  std::string secret_;  // signs the bound functions' messages
  std::function<void()> crash_handler_;
  std::function<void()> loaded_handler_;
  // Shared with deferred bound-function calls, which find it null once the
  // view is gone.
  std::shared_ptr<BrowserView*> alive_;
};

}  // namespace tarn
