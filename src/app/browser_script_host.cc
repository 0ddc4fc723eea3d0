#include "app/browser_script_host.h"

#include "app/browser_view.h"

namespace tarn {

bool BrowserScriptHost::HasFunction(const std::string& name) { return view_->HasFunction(name); }

bool BrowserScriptHost::CallFunction(const std::string& name, const std::vector<std::string>& args,
                                     std::string* result, std::string* error) {
  return view_->CallFunction(name, args, result, error);
}

std::string BrowserScriptHost::Origin() const {
  const std::string& path = view_->loaded_path();
  return path.empty() ? "the main window's page" : path;
}

}  // namespace tarn
