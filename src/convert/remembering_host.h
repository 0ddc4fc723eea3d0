// RememberingHost: a script host that remembers the page's markToHtml
// results between the builds of a preview, so that a rebuild after one post
// changed converts that post only instead of every post again. A result
// depends on the text and the page's scripts alone; whoever owns the host
// drops it (and with it what it remembers) when the page's scripts change.
//
// StartBuild begins a build: results the build before it neither used nor
// made are forgotten, so it holds about one site's worth. Every other call
// goes to the wrapped host unchanged, and failures are never remembered.
//
// Thread safety: as the wrapped host; used on the thread that made it.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/script_host.h"

namespace tarn {

class RememberingHost : public ScriptHost {
 public:
  explicit RememberingHost(std::unique_ptr<ScriptHost> host);

  // Begins a build: forgets the results the last build did not use.
  void StartBuild();

  bool HasFunction(const std::string& name) override { return host_->HasFunction(name); }
  // markToHtml with one argument is answered from memory when it can be;
  // otherwise as the wrapped host answers.
  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error) override;
  std::string Origin() const override { return host_->Origin(); }

 private:
  std::unique_ptr<ScriptHost> host_;
  std::unordered_map<std::string, std::string> recent_;  // used by this build
  std::unordered_map<std::string, std::string> older_;   // used by the one before
};

}  // namespace tarn
