#include "convert/remembering_host.h"

#include <utility>

namespace tarn {

RememberingHost::RememberingHost(std::unique_ptr<ScriptHost> host) : host_(std::move(host)) {}

void RememberingHost::StartBuild() {
  older_ = std::move(recent_);
  recent_.clear();
}

bool RememberingHost::CallFunction(const std::string& name, const std::vector<std::string>& args,
                                   std::string* result, std::string* error) {
  if (name != "markToHtml" || args.size() != 1)
    return host_->CallFunction(name, args, result, error);
  if (auto it = recent_.find(args[0]); it != recent_.end()) {
    *result = it->second;
    return true;
  }
  if (auto it = older_.find(args[0]); it != older_.end()) {
    *result = it->second;
    recent_.emplace(args[0], std::move(it->second));
    older_.erase(it);
    return true;
  }
  if (!host_->CallFunction(name, args, result, error)) return false;
  recent_.emplace(args[0], *result);
  return true;
}

}  // namespace tarn
