// BrowserScriptHost: the script host of the desktop program. The site
// generator's calls into page JavaScript (markToHtml, TplRender) go to the
// page shown in a BrowserView, the main window's, so that what the
// manager page defines is what renders.
//
// Failures are the view's: a call fails, with the reason, when the page
// defines no such function, the function throws, or the page has gone.
//
// Thread safety: user-interface thread only; every call waits for the page
// while the main loop runs, so windows, timers and the page's own calls of
// bound functions are served meanwhile. A build on another thread must use
// a host of its own (the desktop's builds convert in worker processes).
#pragma once

#include <string>
#include <vector>

#include "script/script_host.h"

namespace tarn {

class BrowserView;

class BrowserScriptHost : public ScriptHost {
 public:
  // view is not owned and must outlive the host.
  explicit BrowserScriptHost(BrowserView* view) : view_(view) {}

  bool HasFunction(const std::string& name) override;
  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error) override;
  // The file shown in the view, or "the main window's page" while it shows
  // an error page.
  std::string Origin() const override;

 private:
  BrowserView* view_;
};

}  // namespace tarn
