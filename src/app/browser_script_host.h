// BrowserScriptHost: the script host of the desktop program. The site
// generator's calls into page JavaScript (markToHtml, TplRender) go to the
// page shown in a BrowserView, the main window's, so that what the
// manager page defines is what renders.
//
// Thread safety: user-interface thread only; every call waits for the page
// while the main loop runs.
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
  // The file shown in the view.
  std::string Origin() const override;

 private:
  BrowserView* view_;
};

}  // namespace tarn
