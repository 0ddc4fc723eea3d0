// ScriptHost: calls global JavaScript functions of a page by name. The site
// generator converts Markdown (markToHtml) and renders the manager page
// (TplRender) through it. The command line uses a headless JavaScriptCore
// host; the desktop program uses the page shown in its window. Both must give
// the same results for the same page.
//
// Thread safety: a host is used on the thread that created it.
#pragma once

#include <string>
#include <vector>

namespace tarn {

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;

  // True when the page defines a global function of that name.
  virtual bool HasFunction(const std::string& name) = 0;

  // Calls the global function `name` with the UTF-8 string arguments and
  // stores its result, converted to a string as JavaScript's String() does,
  // in *result. Returns false, with *error saying why (the function is
  // missing, or it threw: message and line), and leaves *result empty.
  virtual bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                            std::string* result, std::string* error) = 0;

  // A short description of where the functions come from, for messages
  // ("template/index copy.html").
  virtual std::string Origin() const = 0;
};

}  // namespace tarn
